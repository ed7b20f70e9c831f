// SPDX-License-Identifier: MIT
// A 5 GiB sparse input whose only non-zero bytes lie beyond 4 GiB: every
// offset, length and figure must survive past 32 bits. The file is made with
// a hole, so the test writes a few bytes, not gigabytes.
#include "faultsupport.h"
#include "jobfixture.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

using kst::Option;

constexpr std::int64_t kGiB = std::int64_t{1} << 30;
constexpr std::int64_t kSize = 5 * kGiB;
constexpr std::int64_t kFirst = 4 * kGiB + 4097;      // 4,294,971,393
constexpr std::int64_t kLast = 4 * kGiB + 1000003;    // 4,295,967,299
constexpr std::int64_t kInside = 4 * kGiB + 524288;   // a mark between them
constexpr std::int64_t kMzero = kSize - 1 - kLast;    // 1,072,741,820
constexpr std::int64_t kOutsize = kLast - kFirst + 1; // 995,907

struct Stamp {
    std::int64_t size, blocks, mtime, ctime;
    bool operator==(const Stamp&) const = default;
};

Stamp StampOf(const std::filesystem::path& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    const auto ns = [](const timespec& t) { return t.tv_sec * 1000000000LL + t.tv_nsec; };
    return Stamp{st.st_size, st.st_blocks, ns(st.st_mtim), ns(st.st_ctim)};
}

// A hole reads back fastest from a tmpfs (the kernel copies its zero page),
// so the input goes to /dev/shm where that is one; else to the temp folder.
class ScratchDir {
public:
    ScratchDir() {
        struct statfs info {};
        if (::statfs("/dev/shm", &info) == 0 && info.f_type == TMPFS_MAGIC) {
            path_ = "/dev/shm/kestrune-sparse-" + std::to_string(::getpid());
            std::filesystem::create_directory(path_);
            AddNote("sparse input: on the tmpfs /dev/shm");
        } else {
            path_ = fallback_.Path();
            AddNote("sparse input: /dev/shm is no tmpfs, in the temp folder");
        }
    }
    ~ScratchDir() {
        if (path_ != fallback_.Path()) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    TempDir fallback_;
    std::filesystem::path path_;
};

class Sparse : public JobTest {
protected:
    ScratchDir scratch;

    // Creates the hole-filled input; false where the file system cannot.
    bool MakeInput() {
        input = scratch.Path() / "disk5g.img";
        host.texts[kst::Field::InputPath] = Utf8(input);
        const int fd = ::open(input.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        bool ok = fd >= 0 && ::ftruncate(fd, kSize) == 0;
        for (const auto& [at, value] : Marks()) {
            ok = ok && ::pwrite(fd, &value, 1, at) == 1;
        }
        ok = ok && ::close(fd) == 0;
        return ok && StampOf(input).blocks * 512 < 1024 * 1024;
    }
    static std::vector<std::pair<std::int64_t, std::uint8_t>> Marks() {
        return {
            {kFirst, 0x11}, {kFirst + 1, 0x22}, {kInside, 0x33}, {kLast - 1, 0x44}, {kLast, 0x55}};
    }
};

TEST_F(Sparse, FiveGiBWithDataBeyondFourGiB) {
    if (!MakeInput()) {
        GTEST_SKIP() << "the temp folder's file system makes no sparse 5 GiB file";
    }
    const Stamp before = StampOf(input);
    host.Tick(Option::TrimLeading);
    options.chunkUnit = 1000000; // the window's own unit

    const kst::JobResult result = kst::RunTrimJob(host, options);
    EXPECT_EQ(result.ending, kst::JobEnding::Finished);
    EXPECT_EQ(result.inputSize, kSize);
    EXPECT_EQ(result.frontRun, kFirst);
    EXPECT_EQ(result.tailRun, kMzero);
    EXPECT_EQ(result.outputSize, kOutsize);
    EXPECT_EQ(host.panels[0], "Front 0=4,294,971,393");
    EXPECT_EQ(host.panels[1], "Tail 0=1,072,741,820");
    EXPECT_EQ(host.panels[2], "Out Size=995,907");
    EXPECT_EQ(host.log.front(), SizeLine(input, 5368709120));

    Bytes want(static_cast<std::size_t>(kOutsize), 0);
    for (const auto& [at, value] : Marks()) {
        want[static_cast<std::size_t>(at - kFirst)] = value;
    }
    const Outcome got{"Finished", host.log.back(), OutputAt(Output()), 0};
    EXPECT_EQ(got, (Outcome{"Finished", kst::msg::kFinished, want, 0}));
    // Reading 5 GiB back to compare would cost more than the job: the file's
    // size, blocks and times show that nothing was written to it.
    EXPECT_EQ(StampOf(input), before);
    EXPECT_TRUE(InputFree());
}

} // namespace

// SPDX-License-Identifier: MIT
// The copy inside the kernel: an output on the input's file system and one
// on another come out byte for byte as the reference trim, with the same
// progress; CopyFrom stops for good where the kernel refuses or the input
// ends, leaving the rest to the buffered path; the output goes on to the
// disk during the copy only while the input comes from the cache.
#include "fastpathtest.h"

#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <random>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using kst::Field;

// A folder on another file system than the temp folder (the tmpfs of
// /dev/shm where that is one), removed with its contents.
class ForeignFolder {
public:
    explicit ForeignFolder(const fs::path& near) {
        struct stat here {};
        struct stat shm {};
        if (::stat(near.c_str(), &here) == 0 && ::stat("/dev/shm", &shm) == 0 &&
            here.st_dev != shm.st_dev) {
            path_ = "/dev/shm/kestrune-fastpath-" + std::to_string(::getpid());
            fs::create_directories(path_);
        }
    }
    ~ForeignFolder() {
        std::error_code ignored;
        if (!path_.empty()) {
            fs::remove_all(path_, ignored);
        }
    }
    ForeignFolder(const ForeignFolder&) = delete;
    ForeignFolder& operator=(const ForeignFolder&) = delete;
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

class KernelCopy : public FastPathTest {
protected:
    JobRecord RunInto(const fs::path& folder) {
        host.place = kst::OutputPlace::InFolder;
        host.texts[Field::OutputFolder] = Utf8(folder);
        return RunRecorded(folder / Output().filename());
    }
};

TEST_F(KernelCopy, AnotherFileSystemGivesTheSameRunAndBytes) {
    const ForeignFolder foreign(dir.Path());
    if (foreign.Path().empty()) {
        GTEST_SKIP() << "no folder on another file system";
    }
    const fs::path near = dir.Path() / "out";
    fs::create_directories(near);
    std::mt19937 random(7331);
    const auto draw = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    for (int round = 0; round < 60; ++round) {
        Bytes bytes(static_cast<std::size_t>(draw(0, 70000)), 0);
        for (int i = draw(1, 200000); i > 0; --i) {
            bytes.push_back(static_cast<std::uint8_t>(draw(0, 255)));
        }
        bytes.resize(bytes.size() + static_cast<std::size_t>(draw(0, 70000)), 0);
        Drop("in.bin", bytes);
        const int units[] = {997, 4096, 10000, 65536};
        options.chunkUnit = units[draw(0, 3)];

        const JobRecord kernel = RunInto(near);
        const JobRecord across = RunInto(foreign.Path());
        const Trim want = ReferenceTrim(bytes);
        ASSERT_EQ(kernel.fzero, want.fzero) << round;
        ASSERT_EQ(kernel.mzero, want.mzero) << round;
        ASSERT_EQ(kernel.events, across.events) << round;
        ASSERT_TRUE(kernel.wrote && across.wrote) << round;
        ASSERT_EQ(kernel.output, TrimmedCopy(bytes, want.fzero, want.mzero, 3)) << round;
        ASSERT_EQ(across.output, kernel.output) << round;
    }
}

// The count returned is what was appended; at the input's end the copy stops
// short and is not tried again.
TEST_F(KernelCopy, CopyFromStopsForGoodAtTheInputsEnd) {
    Bytes bytes(100000);
    std::mt19937 random(99);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    Drop("in.bin", bytes);
    kst::InputFile in;
    ASSERT_TRUE(in.Open(input));
    kst::OutputFile out;
    ASSERT_EQ(out.Create(Output(), in), kst::CreateResult::Created);
    const Bytes pad(3, 0);
    ASSERT_EQ(out.Write(pad.data(), 3), 3);

    const std::int64_t first = out.CopyFrom(in, 12345, 50000);
    const std::int64_t tail = out.CopyFrom(in, 99990, 20);
    const std::int64_t after = out.CopyFrom(in, 0, 10);
    ASSERT_TRUE(out.Commit());
    EXPECT_TRUE(first == 50000 || first == 0) << first; // 0: this system has no kernel copy
    EXPECT_EQ(tail, first == 0 ? 0 : 10);
    EXPECT_EQ(after, 0);
    Bytes want = pad;
    want.insert(want.end(), bytes.begin() + 12345, bytes.begin() + 12345 + first);
    want.insert(want.end(), bytes.begin() + 99990, bytes.begin() + 99990 + tail);
    EXPECT_EQ(ReadAll(Output()), want);
}

// A device that takes no splice refuses at once, and for good.
TEST_F(KernelCopy, CopyFromStopsForGoodWhenRefused) {
    Drop("in.bin", Filled(5000, {0, 4999}));
    kst::InputFile in;
    ASSERT_TRUE(in.Open(input));
    kst::OutputFile out;
    ASSERT_EQ(out.Create("/dev/full", in), kst::CreateResult::Created);
    EXPECT_EQ(out.CopyFrom(in, 0, 4000), 0);
    EXPECT_EQ(out.CopyFrom(in, 0, 4000), 0);
}

// Dirty bytes of the file's first length bytes in the system's cache, or -1
// where the system cannot tell (cachestat came with Linux 6.5).
std::int64_t DirtyBytes(const fs::path& path, std::int64_t length) {
    struct {
        std::uint64_t off, len;
    } range{0, static_cast<std::uint64_t>(length)};
    struct {
        std::uint64_t cache, dirty, writeback, evicted, recentlyEvicted;
    } stat{};
    constexpr long kCachestat = 451;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const long rc = fd < 0 ? -1 : ::syscall(kCachestat, fd, &range, &stat, 0);
    if (fd >= 0) {
        ::close(fd);
    }
    return rc == 0 ? static_cast<std::int64_t>(stat.dirty) * ::sysconf(_SC_PAGESIZE) : -1;
}

bool OnTmpfs(const fs::path& path) {
    struct statfs fs {};
    return ::statfs(path.c_str(), &fs) == 0 && fs.f_type == TMPFS_MAGIC;
}

// From the cache the disk has only the output to write, so it is sent on as
// it is copied; read from the disk, the input would have the disk take turns.
// The input's start is dropped from the cache: the scan leaves its end there.
TEST_F(KernelCopy, OutputIsWrittenBackDuringTheCopyOnlyWhileTheInputIsCached) {
    constexpr std::int64_t kMiB = std::int64_t{1} << 20;
    constexpr std::int64_t kSampled = 8 * kMiB; // two chunks, one step of writeback
    Bytes bytes(64 * kMiB);
    std::mt19937_64 random(5);
    for (std::size_t i = 0; i < bytes.size(); i += 8) {
        const std::uint64_t word = random() | 1;
        std::memcpy(&bytes[i], &word, 8);
    }
    bytes.resize(bytes.size() + kMiB); // a zero tail to trim
    Drop("in.bin", bytes);
    if (OnTmpfs(dir.Path()) || DirtyBytes(input, 1) < 0) {
        GTEST_SKIP() << "no writeback to watch here";
    }
    options.chunkUnit = 4 * kMiB;
    for (const bool cached : {true, false}) {
        const int in = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::fdatasync(in), 0); // clean, so that it can be dropped
        if (!cached) {
            ::posix_fadvise(in, 0, 48 * kMiB, POSIX_FADV_DONTNEED);
        }
        ::close(in);
        std::int64_t dirty = -1;
        host.onYield = [&](int) {
            const auto temps = TempFilesIn(dir.Path());
            if (dirty < 0 && temps.size() == 1 &&
                fs::file_size(temps[0]) >= static_cast<std::uintmax_t>(kSampled)) {
                dirty = DirtyBytes(temps[0], kSampled);
            }
        };
        fs::remove(Output());
        Run();
        ASSERT_TRUE(ReadAll(Output()) == TrimmedCopy(bytes, 0, kMiB)) << cached;
        ASSERT_GE(dirty, 0) << cached;
        EXPECT_EQ(dirty < kSampled / 2, cached) << dirty;
    }
}

} // namespace

// SPDX-License-Identifier: MIT
// The copy inside the kernel: an output on the input's file system and one
// on another come out byte for byte as the reference trim, with the same
// progress; CopyFrom stops for good where the kernel refuses or the input
// ends, leaving the rest to the buffered path.
#include "fastpathtest.h"

#include <random>
#include <sys/stat.h>
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

} // namespace

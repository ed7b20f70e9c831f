// SPDX-License-Identifier: MIT
// Hostile records and planted files before a restore. Each row starts from a
// sound trim with its record, edits the record and plants files, restores,
// and checks the failure, that it came at once, what stands at the
// original's name afterwards and who may read it. Then one property over
// random input modes: nothing a trim or a restore creates is readable by
// anyone who could not read its input.
#include "digests.h"
#include "faultsupport.h"
#include "jobfixture.h"
#include "nametext.h"
#include "restorer.h"
#include "trimrecord.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kHuge = std::int64_t{1} << 62;

kst::HexDigests DigestsOf(const Bytes& bytes) {
    kst::Digests digests({kst::HashKind::Crc32, kst::HashKind::Sha256});
    digests.Bytes(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    return digests.Hex();
}

int ModeOf(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

mode_t Umask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// What stands at the original's name after the restore.
enum class Left { Nothing, Planted, Restored };

// A trim of 100 zeros, 6000 kept bytes and 900 zeros, its copy 0640.
struct Scene {
    fs::path folder;
    Bytes original = Framed(100, 6000, 900, 22);
    fs::path secret; // a file only root may read, holding the copy's bytes
    kst::TrimRecord record;

    fs::path At(const std::string& name) const { return folder / kst::PathFromUtf8(name); }
    fs::path Trimmed() const { return At(record.output.name); }
    fs::path RecordPath() const { return At(record.output.name + kst::kRecordSuffix); }
    fs::path Target() const { return At(record.input.name); }
    Bytes Kept() const { return Bytes(original.begin() + 100, original.begin() + 6100); }
};

struct HostileRow {
    const char* name;
    void (*edit)(kst::TrimRecord& record); // before the record is written
    void (*plant)(const Scene& scene);     // after
    bool force;
    const char* reason; // part of the failure's message; nullptr: restored
    Left left;
};
void PrintTo(const HostileRow& row, std::ostream* os) {
    *os << row.name;
}

void NoEdit(kst::TrimRecord&) {}
void NoPlant(const Scene&) {}

void HugeTail(kst::TrimRecord& r) {
    r.input.size += kHuge - r.tail;
    r.tail = kHuge;
}

void WrongOutputDigest(kst::TrimRecord& r) {
    std::string& hex = r.output.hashes.back().second;
    hex[0] = hex[0] == '0' ? '1' : '0';
}

void WrongInputDigest(kst::TrimRecord& r) {
    std::string& hex = r.input.hashes.back().second;
    hex[0] = hex[0] == '0' ? '1' : '0';
}

void Fifo(const fs::path& path) {
    fs::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
}

class RestoreScene : public testing::Test {
protected:
    TempDir dir;
    Scene scene;

    void SetUp() override {
        ASSERT_TRUE(kst::InitHashing());
        scene.folder = dir.Path();
        scene.secret = dir.Write("secret", scene.Kept());
        fs::permissions(scene.secret, fs::perms::owner_read | fs::perms::owner_write);
        scene.record = {"test", {"img.bin", 7000, DigestsOf(scene.original)},   0, 100, 900,
                        0,      {"img(KST).bin", 6000, DigestsOf(scene.Kept())}};
    }

    // The record written by the engine beside its copy.
    void Trim(void (*edit)(kst::TrimRecord&)) {
        edit(scene.record);
        const fs::path trimmed = dir.Write(Utf8(scene.Trimmed().filename()), scene.Kept());
        fs::permissions(trimmed, fs::perms(0640));
        kst::WriteRecord(scene.RecordPath(), scene.record);
    }
};

class HostileRestore : public RestoreScene, public testing::WithParamInterface<HostileRow> {};

TEST_P(HostileRestore, FailsAtOnceAndLeavesNothingReadable) {
    const HostileRow& row = GetParam();
    Trim(row.edit);
    row.plant(scene);
    const fs::file_type planted = fs::symlink_status(scene.Target()).type();

    const auto start = std::chrono::steady_clock::now();
    std::string failure;
    try {
        kst::RestoreOriginal({scene.RecordPath(), std::nullopt, row.force, {}});
    } catch (const kst::RestoreError& e) {
        failure = e.what();
    }
    const auto took = std::chrono::steady_clock::now() - start;

    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_EQ(kst::EscapeControls(failure), failure) << "the message carries control characters";
    if (row.reason == nullptr) {
        EXPECT_EQ(failure, "");
    } else {
        EXPECT_NE(failure.find(row.reason), std::string::npos) << failure;
    }
    EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
    EXPECT_EQ(ReadAll(scene.secret), scene.Kept());
    EXPECT_EQ(ModeOf(scene.secret), 0600);
    switch (row.left) {
    case Left::Nothing:
        EXPECT_FALSE(fs::exists(fs::symlink_status(scene.Target())));
        break;
    case Left::Planted:
        EXPECT_EQ(fs::symlink_status(scene.Target()).type(), planted);
        break;
    case Left::Restored:
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(scene.Target())));
        EXPECT_EQ(ReadAll(scene.Target()), scene.original);
        EXPECT_EQ(ModeOf(scene.Target()), 0640 & ~static_cast<int>(Umask()));
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Restore, HostileRestore,
    testing::Values(
        HostileRow{"TrimmedIsALinkToASecret", NoEdit,
                   [](const Scene& s) {
                       fs::remove(s.Trimmed());
                       fs::create_symlink(s.secret, s.Trimmed());
                   },
                   false, "is a link", Left::Nothing},
        HostileRow{"TrimmedIsAFifo", NoEdit, [](const Scene& s) { Fifo(s.Trimmed()); }, false,
                   "cannot open the trimmed file", Left::Nothing},
        HostileRow{"TrimmedCutShort", NoEdit,
                   [](const Scene& s) { fs::resize_file(s.Trimmed(), 5999); }, false,
                   "has 5999 bytes, the record says 6000", Left::Nothing},
        HostileRow{"RecordIsAFifo", NoEdit, [](const Scene& s) { Fifo(s.RecordPath()); }, false,
                   "must be a regular file", Left::Nothing},
        HostileRow{"RecordTooLarge", NoEdit,
                   [](const Scene& s) {
                       std::ofstream(s.RecordPath(), std::ios::app)
                           << std::string(kst::kMaxRecordBytes, ' ');
                   },
                   false, "too large", Left::Nothing},
        HostileRow{"HugeTailWrongOutputDigest",
                   [](kst::TrimRecord& r) {
                       HugeTail(r);
                       WrongOutputDigest(r);
                   },
                   NoPlant, false, "does not match the record", Left::Nothing},
        HostileRow{"HugeTailRightOutputDigest", HugeTail, NoPlant, false, "does not fit",
                   Left::Nothing},
        HostileRow{"ErasedTailBeyondTheDisk",
                   [](kst::TrimRecord& r) {
                       r.fill = 0xFF;
                       r.input.size += (std::int64_t{1} << 46) - r.tail;
                       r.tail = std::int64_t{1} << 46;
                   },
                   NoPlant, false, "does not fit", Left::Nothing},
        HostileRow{"FifoAtTheNameUnforced", NoEdit, [](const Scene& s) { Fifo(s.Target()); }, false,
                   "exists; --force replaces it", Left::Planted},
        HostileRow{"FifoAtTheNameWrongInputDigest", WrongInputDigest,
                   [](const Scene& s) { Fifo(s.Target()); }, true, "rebuilt bytes do not match",
                   Left::Planted},
        HostileRow{"FifoAtTheNameReplaced", NoEdit, [](const Scene& s) { Fifo(s.Target()); }, true,
                   nullptr, Left::Restored},
        HostileRow{"LinkAtTheNameReplaced", NoEdit,
                   [](const Scene& s) { fs::create_symlink(s.secret, s.Target()); }, true, nullptr,
                   Left::Restored},
        HostileRow{"EscapesInTheName",
                   [](kst::TrimRecord& r) { r.input.name = "\x1b]0;pwned\a\x1b[2J evil.bin"; },
                   [](const Scene& s) { std::ofstream(s.Target()) << "x"; }, false,
                   "\\x1B]0;pwned\\x07\\x1B[2J evil.bin exists", Left::Planted},
        HostileRow{"NameNotUtf8",
                   [](kst::TrimRecord& r) {
                       r.input.name = "bad\xff\xfe.bin";
                       r.output.name = "bad\xff\xfe(KST).bin";
                   },
                   NoPlant, false, nullptr, Left::Restored}),
    [](const auto& info) { return std::string(info.param.name); });

// A stop while a long tail run is hashed is noticed at the next piece; what
// was written is dropped. Unstopped, the 1 GiB run would hash for seconds.
TEST_F(RestoreScene, AStopDropsThePartialOriginal) {
    Trim([](kst::TrimRecord& r) {
        r.input.size += (std::int64_t{1} << 30) - r.tail;
        r.tail = std::int64_t{1} << 30;
    });
    int polls = 0;
    const auto start = std::chrono::steady_clock::now();
    try {
        kst::RestoreOriginal(
            {scene.RecordPath(), std::nullopt, false, [&] { return ++polls > 4; }});
        ADD_FAILURE() << "restored in spite of the stop";
    } catch (const kst::RestoreError& e) {
        EXPECT_TRUE(e.Stopped()) << e.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_FALSE(fs::exists(fs::symlink_status(scene.Target())));
    EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
}

// Random modes and umasks: the copy, its record and the restored original
// each grant no permission the input did not, but their owner's write.
TEST(CreatedFiles, NeverReadableBeyondTheirInput) {
    ASSERT_TRUE(kst::InitHashing());
    std::mt19937 random(2212);
    const mode_t saved = Umask();
    for (int round = 0; round < 12; ++round) {
        const int mode = static_cast<int>(random() % 0777) | 0400;
        const mode_t mask = std::array<mode_t, 4>{022, 077, 002, 027}[random() % 4];
        ::umask(mask);
        TempDir dir;
        RecordingHost host;
        const Bytes original = Framed(50, 300, 70, round);
        const fs::path input = dir.Write("in.bin", original);
        fs::permissions(input, fs::perms(mode));
        host.texts[kst::Field::InputPath] = Utf8(input);
        kst::Digests in({kst::HashKind::Sha256});
        kst::Digests out({kst::HashKind::Sha256});
        const kst::JobResult result = kst::RunTrimJob(
            host,
            kst::JobOptions{.fill = 0, .chunkUnit = 10, .inputSink = &in, .outputSink = &out});
        ASSERT_EQ(result.ending, kst::JobEnding::Finished);
        const fs::path record = kst::RecordPathFor(result.output);
        kst::WriteRecord(record, kst::RecordOf(result, input, 0, in.Hex(), out.Hex(), "test"));
        fs::remove(input);
        const kst::Restored restored = kst::RestoreOriginal({record, std::nullopt, false, {}});
        EXPECT_EQ(ReadAll(restored.target), original);
        for (const fs::path& created : {result.output, record, restored.target}) {
            SCOPED_TRACE(Utf8(created) + " of an input " + std::to_string(mode) + " under umask " +
                         std::to_string(mask));
            EXPECT_EQ(ModeOf(created), (mode | 0200) & ~static_cast<int>(mask));
        }
    }
    ::umask(saved);
}

} // namespace

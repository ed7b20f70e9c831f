// SPDX-License-Identifier: MIT
#pragma once

#include "jobfixture.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A job's visible run: every host call in order, "yield" for each yield,
// the measured runs and the output file's bytes.
struct JobRecord {
    std::vector<std::string> events;
    std::int64_t fzero = -2;
    std::int64_t mzero = -2;
    bool wrote = false;
    Bytes output;
};

// The job with both runs measured and a pad of 3 zero bytes, recorded.
class FastPathTest : public JobTest {
protected:
    JobRecord RunRecorded(const std::filesystem::path& output);
};

// Makes [from, to) a hole; false where the file system cannot.
bool PunchHole(const std::filesystem::path& path, std::int64_t from, std::int64_t to);

// Fewer bytes stored than the file's length.
bool HasHoles(const std::filesystem::path& path);

// Bytes this process has read through system calls so far.
std::int64_t BytesReadSoFar();

// A file system of the given type (btrfs, xfs) made in an image in the temp
// folder and loop-mounted in a mount namespace of this process' own, so it
// goes away with the process. Only root can; Reason() says why not.
class LoopMount {
public:
    explicit LoopMount(const std::string& type);
    ~LoopMount();
    LoopMount(const LoopMount&) = delete;
    LoopMount& operator=(const LoopMount&) = delete;

    const std::filesystem::path& Path() const { return mounted_; }
    const std::string& Reason() const { return reason_; }

private:
    TempDir dir_;
    std::filesystem::path mounted_; // empty when nothing was mounted
    std::string reason_;
};

// Bytes of the file's stored data, and of those the bytes it shares with
// other files (FIEMAP).
struct StoredBytes {
    std::int64_t data = 0;
    std::int64_t shared = 0;
};
StoredBytes StoredBytesOf(const std::filesystem::path& path);

// True when [from, to) of the file holds no stored data.
bool IsHole(const std::filesystem::path& path, std::int64_t from, std::int64_t to);

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

// SPDX-License-Identifier: MIT
#pragma once

#include "bytesink.h"
#include "jobhost.h"
#include "jobstate.h"

#include <cstdint>
#include <filesystem>
#include <functional>

namespace kst {

// The runs as measured, handed to JobOptions::tailToRemove.
struct MeasuredRuns {
    std::int64_t inputSize = 0;
    std::int64_t frontRun = 0; // 0 when the start is not trimmed
    std::int64_t tailRun = 0;
};

struct JobOptions {
    // The byte whose runs are trimmed; the window always uses 0.
    std::uint8_t fill = 0;
    // Bytes per unit of ComboBox1's number; tests use a few bytes to reach
    // every chunk boundary with small files.
    std::int64_t chunkUnit = 1000000;
    // Inputs of at least this many bytes are scanned on two threads; smaller
    // ones on the job's own, sparing the second thread's start. Tests use 0
    // to scan every input on two.
    std::int64_t readAheadFrom = kReadAheadFrom;
    // Opt-in, empty for the window: once a tail run (possibly empty) is
    // measured, returns how much of it to remove. Held to 0..tailRun, so a
    // copy never reaches beyond the input.
    std::function<std::int64_t(const MeasuredRuns&)> tailToRemove = {};
    // When either is set, a copy sends its input (removed runs included) and
    // its output (pad included) here, in order, and moves the kept bytes
    // through its own buffer, one chunk at a time, instead of the kernel's
    // copy. Fed in full only for a Finished copy.
    ByteSink* inputSink = nullptr;
    ByteSink* outputSink = nullptr;
};

enum class JobEnding {
    NoOutputFolder, // information box, nothing measured
    NothingToTrim,  // "0データはありません"
    MeasureOnly,    // CheckBox3 ticked
    Finished,       // "終わり"
    Aborted,        // "中断しました"
};

struct JobResult {
    JobEnding ending = JobEnding::NoOutputFolder;
    std::int64_t inputSize = 0;
    std::int64_t frontRun = -1;  // -1: not measured, or no other byte found
    std::int64_t tailRun = -1;   // -1: no other byte found
    std::int64_t outputSize = 0; // 0 unless the job got as far as computing it
    std::filesystem::path output;
};

// The whole job behind Execute. Failures are thrown as JobError after every
// file the job opened has been released and the idle buttons restored.
JobResult RunTrimJob(JobHost& host, const JobOptions& options = {});

} // namespace kst

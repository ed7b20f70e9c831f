// SPDX-License-Identifier: MIT
#pragma once

#include "bytesink.h"
#include "file.h"
#include "jobhost.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

namespace kst {

// Below this input size a second scanning thread costs more than it saves.
inline constexpr std::int64_t kReadAheadFrom = 64 * 1024 * 1024;

// The runs as measured, handed to JobOptions::tailToRemove.
struct MeasuredRuns {
    std::int64_t inputSize = 0;
    std::int64_t frontRun = 0; // 0 when the start is not trimmed
    std::int64_t tailRun = 0;
    std::uint8_t fill = 0; // the byte of the runs
    // The input as the job holds it (locked, its writers watched), for a
    // look at the bytes around the runs; valid for the call only.
    const InputFile* input = nullptr;
    // The last byte before the tail run, when the scan read it.
    std::optional<std::uint8_t> byteBeforeTail;
};

struct JobResult;
class OutputBatch;

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
    // Opt-in: once the runs are settled and the copy's size is known, before
    // anything is written, gets the figures (as a MeasureOnly result), so a
    // failure after that still has them.
    std::function<void(const JobResult&)> measured = {};
    // Opt-in: once the input is open and its size known, before any line is
    // logged, gets the size (a batch commits what waits before a copy that
    // will not fit beside it).
    std::function<void(std::int64_t size)> sized = {};
    // Opt-in: once the input is open and its size known, returns the byte
    // whose runs are trimmed, in place of fill, from the input the job holds.
    std::function<std::uint8_t(const InputFile& input, std::int64_t size)> chooseFill = {};
    // When either is set, a copy sends its input (removed runs included) and
    // its output (pad included) here, in order, and moves the kept bytes
    // through its own buffer, one chunk at a time, instead of the kernel's
    // copy. Fed in full for a Finished copy and, from the kept bytes read
    // once more before the input is released, for MeasureOnly (the output
    // it would write) and NothingToTrim (the input only). A stop asked for
    // while they are fed ends the job Aborted with nothing written.
    ByteSink* inputSink = nullptr;
    ByteSink* outputSink = nullptr;
    // What an abort between chunks does with the copy: the window keeps the
    // whole chunks written so far under the output's name; a batch drops
    // them, so a file already there keeps its bytes and no partial copy is
    // ever taken for a finished one.
    enum class OnAbort { KeepPart, Drop };
    OnAbort onAbort = OnAbort::KeepPart;
    // Opt-in (a batch of jobs): the output folders' stale temporaries are
    // looked for once per batch, and a finished copy that fits waits in the
    // batch, unflushed under its temporary name, instead of being committed
    // on its own (JobResult::held); its "終わり" is then the batch's to log.
    OutputBatch* batch = nullptr;
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
    std::uint8_t fill = 0; // the byte trimmed, as JobOptions::chooseFill picked it
    // Finished with the copy waiting in JobOptions::batch: done only once the
    // batch commits it.
    bool held = false;
};

// The whole job behind Execute. Failures are thrown as JobError after every
// file the job opened has been released and the idle buttons restored.
JobResult RunTrimJob(JobHost& host, const JobOptions& options = {});

} // namespace kst

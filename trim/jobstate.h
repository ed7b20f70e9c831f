// SPDX-License-Identifier: MIT
#pragma once

#include "engineonly.h"

#include "bytesink.h"
#include "chunkgrid.h"
#include "file.h"
#include "trimjob.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kst {

// Bytes a scan reads and tests at a time: small enough to stay in the
// testing core's cache between the read and the test.
inline constexpr std::int64_t kScanSliceBytes = 1024 * 1024;

// The one chunk buffer of a job. Its length is set before each read. Its
// bytes are left as they were, not zero-filled: only those read into it are
// ever touched, so an untouched length costs address space, not memory.
class ChunkBuffer {
public:
    // Throws JobError "メモリが足りません" when the length cannot be had.
    // Grows only when the length exceeds every length set before.
    std::uint8_t* SetLength(std::int64_t length);
    std::int64_t Length() const { return length_; }

private:
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::int64_t capacity_ = 0;
    std::int64_t length_ = 0;
};

// Everything one run of the job shares between its phases.
struct JobState {
    std::string inputText; // Label1's text as read at the start
    InputFile instream;
    std::string outputText;
    std::filesystem::path outputPath;
    std::int64_t insize = 0;
    std::int64_t bufsize = 0;
    ChunkGrid grid;
    ChunkBuffer chunkbuf;
    std::int64_t fzero = -1;
    std::int64_t mzero = -1;
    std::optional<std::uint8_t> byteBeforeTail; // the last byte kept, once the tail scan found it
    std::int64_t outsize = 0;
    std::uint8_t fill = 0;
    std::int64_t readAheadFrom = kReadAheadFrom; // input size from which scans use two threads
    std::int64_t scanSliceBytes = kScanSliceBytes;
    ByteSink* inputSink = nullptr; // JobOptions'
    ByteSink* outputSink = nullptr;
    bool abortKeepsPart = true;   // JobOptions::onAbort
    OutputBatch* batch = nullptr; // JobOptions'
    bool held = false;            // the copy waits in batch
};

// Sets chunkbuf to length bytes and fills it from the input at pos. A short
// read (the input shrank or failed under us) throws, and so does any change
// to the input since the job opened it: every byte measured or copied is one
// of the file as it stood then, never a mix of two versions.
const std::uint8_t* ReadChunk(JobState& state, std::int64_t pos, std::int64_t length);

// Throws when another process has changed the input since it was opened.
void VerifyInputUnchanged(const JobState& state);

// Throws for a read that came short or failed: as a change to the input when
// it was changed (a file cut short under the job), else as a read failure.
[[noreturn]] void ThrowReadFailure(const JobState& state);

} // namespace kst

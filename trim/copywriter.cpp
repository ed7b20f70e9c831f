// SPDX-License-Identifier: MIT
#include "copywriter.h"

#include "intparse.h"
#include "joberror.h"
#include "messages.h"

#include <algorithm>
#include <array>
#include <string>

namespace kst {
namespace {

// Puts the idle pair of buttons back on every way out of the copy.
class AbortButtonShown {
public:
    explicit AbortButtonShown(JobHost& host) : host_(host) { host_.ShowAbortButton(true); }
    ~AbortButtonShown() {
        if (shown_) {
            host_.ShowAbortButton(false);
        }
    }
    AbortButtonShown(const AbortButtonShown&) = delete;
    AbortButtonShown& operator=(const AbortButtonShown&) = delete;

    void Restore() {
        host_.ShowAbortButton(false);
        shown_ = false;
    }

private:
    JobHost& host_;
    bool shown_ = true;
};

} // namespace

std::int64_t ReadPadCount(JobHost& host) {
    if (!host.IsOn(Option::TrimLeading) || !host.IsOn(Option::WritePad)) {
        return -1;
    }
    const std::string text = host.ReadField(Field::PadText);
    const std::int32_t padcount = StrToInt(text);
    if (padcount < 0) {
        throw JobError(ErrorKind::BadPad, FormatMessage(msg::kNegativePad, text));
    }
    return padcount;
}

namespace {

[[noreturn]] void ThrowWriteFailure(const OutputFile& out, const JobState& state) {
    throw JobError(ErrorKind::WriteFailed, FormatMessage(msg::kWriteFailed, state.outputText),
                   out.LastError());
}

void WriteAll(OutputFile& out, const JobState& state, const std::uint8_t* data,
              std::int64_t length) {
    if (out.Write(data, length) != length) {
        ThrowWriteFailure(out, state);
    }
}

void WritePad(OutputFile& out, const JobState& state, std::int64_t padcount) {
    static constexpr std::array<std::uint8_t, 64 * 1024> zeros{};
    for (std::int64_t left = padcount; left > 0;) {
        const std::int64_t n = std::min<std::int64_t>(left, zeros.size());
        WriteAll(out, state, zeros.data(), n);
        left -= n;
    }
}

bool Observed(const JobState& state) {
    return state.inputSink != nullptr || state.outputSink != nullptr;
}

// Observed bytes are copied through the chunk buffer, where the sinks see
// them; the kernel's copy would keep them out of sight.
void CopyObserved(OutputFile& out, JobState& state, std::int64_t pos, std::int64_t length) {
    const std::uint8_t* const data = ReadChunk(state, pos, length);
    WriteAll(out, state, data, length);
    for (ByteSink* sink : {state.inputSink, state.outputSink}) {
        if (sink != nullptr) {
            sink->Bytes(data, length);
        }
    }
}

// Whether the input comes from the system's cache: its byte a little beyond
// pos, past what the system reads ahead on its own, is there. While the copy
// waits on the disk for the input, writing back beside it would have the disk
// take turns between the two, slower than either alone.
bool InputCachedAhead(const JobState& state, std::int64_t pos) {
    constexpr std::int64_t kAhead = std::int64_t{32} << 20; // past the system's read-ahead
    const std::int64_t far = std::min(pos + kAhead, state.fzero + state.outsize) - 1;
    std::uint8_t probe = 0;
    return far < pos || state.instream.ReadCachedAt(far, &probe, 1) == 1;
}

// The kernel copies what it can; the rest goes through the chunk buffer,
// whose read and write report any failure as they always did. The buffer is
// only had once the kernel leaves something to it.
void CopyBytes(OutputFile& out, JobState& state, std::int64_t pos, std::int64_t length) {
    if (Observed(state)) {
        CopyObserved(out, state, pos, length);
        return;
    }
    const std::int64_t done = out.CopyFrom(state.instream, pos, length);
    if (done < length) {
        WriteAll(out, state, ReadChunk(state, pos + done, length - done), length - done);
    } else {
        VerifyInputUnchanged(state); // ReadChunk's test, for bytes the kernel moved
    }
}

void CopyChunk(OutputFile& out, JobState& state, std::int64_t pos, std::int64_t length) {
    CopyBytes(out, state, pos, length);
    if (InputCachedAhead(state, pos + length)) {
        out.StartWriteback();
    }
}

// Flushed and put under its name; only then is the copy reported done.
void CommitOutput(OutputFile& out, const JobState& state) {
    if (!out.Commit()) {
        ThrowWriteFailure(out, state);
    }
}

void CreateOutput(OutputFile& out, const JobState& state) {
    switch (out.Create(state.outputPath, state.instream)) {
    case CreateResult::Created:
        return;
    case CreateResult::SameFile:
        throw JobError(ErrorKind::SameFile, FormatMessage(msg::kCreateFailed, state.outputText));
    case CreateResult::Failed:
        break;
    }
    throw JobError(ErrorKind::CreateFailed, FormatMessage(msg::kCreateFailed, state.outputText),
                   out.LastError());
}

} // namespace

JobEnding WriteTrimmedCopy(JobState& state, JobHost& host) {
    host.ClearAbortRequest();
    AbortButtonShown buttons(host);
    host.AppendLog(msg::kCreatingOutput);

    const std::int64_t padcount = ReadPadCount(host);
    // Removed again on every way out but the two endings below.
    OutputFile outstream;
    CreateOutput(outstream, state);

    // A stop while the sinks take a removed run (long for a large sparse
    // input) drops the copy: without its digests it is not done.
    const auto stopRequested = [&host] { return host.AbortRequested(); };
    const auto dropped = [&] {
        outstream.Discard();
        state.instream.Close();
        buttons.Restore();
        host.AppendLog(msg::kAborted);
        return JobEnding::Aborted;
    };
    if (!FeedRun(state.inputSink, state.fill, state.fzero, stopRequested) ||
        !FeedRun(state.outputSink, 0, padcount, stopRequested)) {
        return dropped();
    }
    if (padcount >= 0) {
        WritePad(outstream, state, padcount);
        host.AppendLog(msg::kPadLine + std::to_string(padcount));
    }

    // Both endings keep the output under its name, release both files and
    // bring Execute back.
    const auto end = [&](const char* line, JobEnding ending) {
        CommitOutput(outstream, state);
        state.instream.Close();
        buttons.Restore();
        host.AppendLog(line);
        return ending;
    };

    const auto [chunks, rest] = MakeChunkGrid(state.outsize, state.bufsize);
    for (std::int64_t k = 0; k < chunks - 1; ++k) {
        if (host.AbortRequested()) {
            return state.abortKeepsPart ? end(msg::kAborted, JobEnding::Aborted) : dropped();
        }
        CopyChunk(outstream, state, state.fzero + k * state.bufsize, state.bufsize);
        host.SetGauge(ProgressValue(k + 1, chunks));
        host.Yield();
    }
    CopyChunk(outstream, state, state.fzero + (chunks - 1) * state.bufsize, rest);
    if (!FeedRun(state.inputSink, state.fill, state.mzero, stopRequested)) {
        return dropped();
    }
    return end(msg::kFinished, JobEnding::Finished);
}

} // namespace kst

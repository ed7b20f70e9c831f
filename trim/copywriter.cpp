// SPDX-License-Identifier: MIT
#include "copywriter.h"

#include "intparse.h"
#include "joberror.h"
#include "messages.h"

#include <algorithm>
#include <array>
#include <string>
#include <system_error>

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

// Removes the output unless the copy reached an ending that keeps it.
class IncompleteOutput {
public:
    IncompleteOutput(OutputFile& file, std::filesystem::path path)
        : file_(file), path_(std::move(path)) {}
    ~IncompleteOutput() {
        if (!kept_ && file_.IsRegular()) {
            file_.Close();
            std::error_code ignored;
            std::filesystem::remove(path_, ignored);
        }
    }
    IncompleteOutput(const IncompleteOutput&) = delete;
    IncompleteOutput& operator=(const IncompleteOutput&) = delete;

    void Keep() { kept_ = true; }

private:
    OutputFile& file_;
    std::filesystem::path path_;
    bool kept_ = false;
};

// The pad length, or -1 when no pad is asked for. Read before the output is
// created, so a bad text never empties an existing file of that name.
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

void WriteAll(OutputFile& out, const JobState& state, const std::uint8_t* data,
              std::int64_t length) {
    if (out.Write(data, length) != length) {
        throw JobError(ErrorKind::WriteFailed, FormatMessage(msg::kWriteFailed, state.outputText));
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

// The kernel copies what it can; the rest goes through the chunk buffer,
// whose read and write report any failure as they always did.
void CopyChunk(OutputFile& out, JobState& state, std::int64_t pos, std::int64_t length) {
    const std::int64_t done = out.CopyFrom(state.instream, pos, length);
    if (done < length) {
        WriteAll(out, state, ReadChunk(state, pos + done, length - done), length - done);
    } else {
        VerifyInputUnchanged(state); // ReadChunk's test, for bytes the kernel moved
    }
}

void CloseOutput(OutputFile& out, const JobState& state) {
    if (!out.Close()) {
        throw JobError(ErrorKind::WriteFailed, FormatMessage(msg::kWriteFailed, state.outputText));
    }
}

} // namespace

JobEnding WriteTrimmedCopy(JobState& state, JobHost& host) {
    host.ClearAbortRequest();
    AbortButtonShown buttons(host);
    host.AppendLog(msg::kCreatingOutput);

    const std::int64_t padcount = ReadPadCount(host);
    OutputFile outstream;
    if (!outstream.Create(state.outputPath, state.instream)) {
        throw JobError(ErrorKind::CreateFailed,
                       FormatMessage(msg::kCreateFailed, state.outputText));
    }
    IncompleteOutput incomplete(outstream, state.outputPath);
    if (padcount >= 0) {
        WritePad(outstream, state, padcount);
        host.AppendLog(msg::kPadLine + std::to_string(padcount));
    }

    // Both endings keep the output, release both files and bring Execute back.
    const auto end = [&](const char* line, JobEnding ending) {
        CloseOutput(outstream, state);
        incomplete.Keep();
        state.instream.Close();
        buttons.Restore();
        host.AppendLog(line);
        return ending;
    };

    const auto [chunks, rest] = MakeChunkGrid(state.outsize, state.bufsize);
    state.chunkbuf.SetLength(state.bufsize);
    for (std::int64_t k = 0; k < chunks - 1; ++k) {
        if (host.AbortRequested()) {
            return end(msg::kAborted, JobEnding::Aborted);
        }
        CopyChunk(outstream, state, state.fzero + k * state.bufsize, state.bufsize);
        host.SetGauge(ProgressValue(k + 1, chunks));
        host.Yield();
    }
    CopyChunk(outstream, state, state.fzero + (chunks - 1) * state.bufsize, rest);
    return end(msg::kFinished, JobEnding::Finished);
}

} // namespace kst

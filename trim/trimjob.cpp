// SPDX-License-Identifier: MIT
#include "trimjob.h"

#include "copywriter.h"
#include "groupdigits.h"
#include "intparse.h"
#include "joberror.h"
#include "jobstate.h"
#include "messages.h"
#include "outputpath.h"
#include "scan.h"

#include <algorithm>
#include <string>

namespace kst {
namespace {

constexpr std::int32_t kMaxChunkUnits = 2147; // above this the byte count overflows 32 bits

void OpenInput(JobState& state, JobHost& host) {
    state.inputText = host.ReadField(Field::InputPath);
    const auto watch =
        state.batch != nullptr ? InputFile::Watch::WritesInBatch : InputFile::Watch::Writes;
    if (!state.instream.Open(PathFromUtf8(state.inputText), watch)) {
        const OsErrorCode error = state.instream.LastError();
        throw JobError(IsHeldElsewhere(error) ? ErrorKind::InputInUse : ErrorKind::OpenFailed,
                       FormatMessage(msg::kOpenFailed, state.inputText), error);
    }
}

// False when the chosen output folder does not exist.
bool FormOutputPath(JobState& state, JobHost& host) {
    if (host.OutputChoice() == OutputPlace::BesideInput) {
        state.outputText = OutputBesideInput(state.inputText);
    } else {
        const std::string folder = host.ReadField(Field::OutputFolder);
        if (!DirectoryExists(folder)) {
            return false;
        }
        state.outputText = OutputInFolder(folder, state.inputText);
    }
    state.outputPath = PathFromUtf8(state.outputText);
    return true;
}

// 0 passes, so the grid fails with the runtime's own division message.
std::int64_t ReadChunkSize(JobHost& host, std::int64_t unit) {
    const std::string text = host.ReadField(Field::ChunkText);
    const std::int32_t units = StrToInt(text);
    if (units < 0 || units > kMaxChunkUnits) {
        throw JobError(ErrorKind::BadChunkSize, FormatMessage(msg::kChunkSizeRange, text));
    }
    return units * unit;
}

void ShowFigure(JobHost& host, Figure figure, const char* caption, std::int64_t value) {
    host.ShowFigure(figure, caption + GroupDigits(value));
}

void Measure(JobState& state, JobHost& host) {
    const bool leading = host.IsOn(Option::TrimLeading);
    if (leading) {
        host.AppendLog(msg::kScanningLeading);
        ScanLeadingZeros(state, host);
        ShowFigure(host, Figure::FrontRun, msg::kFrontPanel, state.fzero);
    }
    host.AppendLog(msg::kScanningTrailing);
    ScanTrailingZeros(state, host);
    if (state.mzero < 0) {
        host.Inform(std::to_string(state.mzero));
    }
    ShowFigure(host, Figure::TailRun, msg::kTailPanel, state.mzero);
    if (!leading) {
        state.fzero = 0;
    }
    if (state.fzero == -1) {
        host.Inform("fzero=-1");
    }
    if (state.mzero == -1) {
        host.Inform("mzero=-1");
    }
}

void SettleTail(JobState& state, const JobOptions& options) {
    if (options.tailToRemove && state.mzero >= 0 && state.fzero >= 0) {
        const std::int64_t wanted =
            options.tailToRemove(MeasuredRuns{state.insize, state.fzero, state.mzero, state.fill,
                                              &state.instream, state.byteBeforeTail});
        state.mzero = std::clamp<std::int64_t>(wanted, 0, state.mzero);
    }
}

JobResult ResultOf(const JobState& state, JobEnding ending) {
    return JobResult{ending,        state.insize,     state.fzero, state.mzero,
                     state.outsize, state.outputPath, state.fill,  state.held};
}

// The sinks of a job that writes nothing: the kept bytes read once more
// while the input is still held, the removed runs counted. False once a stop
// was asked for.
bool FeedUnwritten(JobState& state, JobHost& host, bool withOutput) {
    const auto stopRequested = [&host] { return host.AbortRequested(); };
    const std::int64_t front = std::max<std::int64_t>(state.fzero, 0);
    const std::int64_t tail = state.mzero < 0 ? state.insize - front : state.mzero;
    ByteSink* const output = withOutput ? state.outputSink : nullptr;
    if (!FeedRun(state.inputSink, state.fill, front, stopRequested) ||
        !FeedRun(output, 0, std::max<std::int64_t>(ReadPadCount(host), 0), stopRequested)) {
        return false;
    }
    for (std::int64_t pos = front; pos < state.insize - tail;) {
        if (stopRequested()) {
            return false;
        }
        const std::int64_t n = std::min(state.scanSliceBytes, state.insize - tail - pos);
        const std::uint8_t* const data = ReadChunk(state, pos, n);
        for (ByteSink* sink : {state.inputSink, output}) {
            if (sink != nullptr) {
                sink->Bytes(data, n);
            }
        }
        pos += n;
        host.Yield();
    }
    return FeedRun(state.inputSink, state.fill, tail, stopRequested);
}

// NothingToTrim and MeasureOnly: the sinks, when any, see the bytes first.
JobResult EndUnwritten(JobState& state, JobHost& host, JobEnding ending) {
    if (state.inputSink == nullptr && state.outputSink == nullptr) {
        return ResultOf(state, ending);
    }
    if (!FeedUnwritten(state, host, ending == JobEnding::MeasureOnly)) {
        host.AppendLog(msg::kAborted);
        return ResultOf(state, JobEnding::Aborted);
    }
    return ResultOf(state, ending);
}

} // namespace

JobResult RunTrimJob(JobHost& host, const JobOptions& options) {
    JobState state;
    state.fill = options.fill;
    state.readAheadFrom = options.readAheadFrom;
    state.inputSink = options.inputSink;
    state.outputSink = options.outputSink;
    state.abortKeepsPart = options.onAbort == JobOptions::OnAbort::KeepPart;
    state.batch = options.batch;

    host.ClearLog();
    OpenInput(state, host);
    if (!FormOutputPath(state, host)) {
        host.Inform(msg::kSpecifyFolder);
        return ResultOf(state, JobEnding::NoOutputFolder);
    }
    state.insize = state.instream.SizeAtOpen();
    if (state.insize < 0) {
        throw JobError(ErrorKind::ReadFailed, FormatMessage(msg::kReadFailed, state.inputText));
    }
    if (options.sized) {
        options.sized(state.insize);
    }
    if (options.chooseFill) {
        state.fill = options.chooseFill(state.instream, state.insize);
    }
    for (const Figure figure : {Figure::FrontRun, Figure::TailRun, Figure::OutputSize}) {
        host.ShowFigure(figure, "");
    }
    state.bufsize = ReadChunkSize(host, options.chunkUnit);
    host.AppendLog(FormatMessage(msg::kSizeLine, state.inputText) + std::to_string(state.insize));
    state.grid = MakeChunkGrid(state.insize, state.bufsize);

    Measure(state, host);
    SettleTail(state, options);
    if (state.fzero < 1 && state.mzero < 1) {
        host.AppendLog(msg::kNothingToTrim);
        return EndUnwritten(state, host, JobEnding::NothingToTrim);
    }
    state.outsize = state.insize - state.fzero - state.mzero;
    ShowFigure(host, Figure::OutputSize, msg::kOutSizePanel, state.outsize);
    if (options.measured) {
        options.measured(ResultOf(state, JobEnding::MeasureOnly));
    }
    if (host.IsOn(Option::MeasureOnly)) {
        return EndUnwritten(state, host, JobEnding::MeasureOnly);
    }
    return ResultOf(state, WriteTrimmedCopy(state, host));
}

} // namespace kst

// SPDX-License-Identifier: MIT
#include "copywriter.h"

#include "intparse.h"
#include "joberror.h"
#include "messages.h"
#include "outputbatch.h"

#include <algorithm>
#include <array>
#include <memory>
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

void AppendZeros(OutputFile& out, const JobState& state, std::int64_t count) {
    if (!out.AppendZeros(count)) {
        ThrowWriteFailure(out, state);
    }
}

// The pad is written, not left a hole: a disk too full for it fails here, at
// the pad, not later at the first data.
void WritePad(OutputFile& out, const JobState& state, std::int64_t padcount) {
    static constexpr std::array<std::uint8_t, 64 * 1024> zeros{};
    for (std::int64_t left = padcount; left > 0;) {
        const std::int64_t n = std::min<std::int64_t>(left, zeros.size());
        WriteAll(out, state, zeros.data(), n);
        left -= n;
    }
}

std::int64_t GrainBelow(std::int64_t pos) {
    return pos - pos % kCloneGrain;
}

// The input's holes and stored data, asked of the system once per extent.
class HoleMap {
public:
    explicit HoleMap(const InputFile& input) : input_(input), sparse_(input.MayHaveHoles()) {}

    struct Extent {
        std::int64_t end;
        bool hole;
    };
    // The extent at pos, cut at limit. Positions asked only grow.
    Extent At(std::int64_t pos, std::int64_t limit) {
        if (!sparse_) {
            return {limit, false};
        }
        if (pos >= dataEnd_) {
            dataStart_ = input_.DataFrom(pos);
            dataEnd_ = std::max(dataStart_, input_.HoleFrom(dataStart_));
            if (dataEnd_ <= pos) {
                return {limit, false}; // the system cannot tell: all of it is data
            }
        }
        return pos < dataStart_ ? Extent{std::min(dataStart_, limit), true}
                                : Extent{std::min(dataEnd_, limit), false};
    }

private:
    const InputFile& input_;
    const bool sparse_;
    std::int64_t dataStart_ = 0; // [dataStart_, dataEnd_) is data, what lies before it holes
    std::int64_t dataEnd_ = 0;
};

bool Observed(const JobState& state) {
    return state.inputSink != nullptr || state.outputSink != nullptr;
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

// The kept bytes, in order, into the output: holes as holes, stored data
// shared with the input or copied by the system where it can, else through
// the chunk buffer. A hole is appended only when data or the end follows, so
// a long one costs one move of the output's end.
class KeptCopy {
public:
    KeptCopy(OutputFile& out, JobState& state, std::function<bool()> stopRequested)
        : out_(out), state_(state), stopRequested_(std::move(stopRequested)),
          holes_(state.instream), copied_(state.fzero) {}

    // Copies the kept bytes up to end; false, the copy to be dropped, when a
    // stop came while the sinks took a hole.
    bool To(std::int64_t end) {
        for (std::int64_t pos = copied_; pos < end;) {
            const HoleMap::Extent extent = holes_.At(pos, end);
            if (extent.hole) {
                zerosOwed_ += extent.end - pos;
                if (!FeedRun(state_.inputSink, 0, extent.end - pos, stopRequested_) ||
                    !FeedRun(state_.outputSink, 0, extent.end - pos, stopRequested_)) {
                    return false;
                }
            } else {
                SettleZeros();
                CopyData(pos, extent.end - pos);
                // ReadChunk's test, for bytes the system moved
                VerifyInputUnchanged(state_);
                dataCopied_ += extent.end - pos;
            }
            pos = extent.end;
        }
        copied_ = std::max(copied_, end);
        return true;
    }
    // Bytes of stored data copied so far: what the disk has to take.
    std::int64_t DataCopied() const { return dataCopied_; }
    // A chunk's bytes but those of its last grain, which go with the next
    // chunk: no block of the output is then written in two pieces, so every
    // whole one can be shared. Chunks shorter than a grain go whole: they
    // hold no block to share.
    bool ToGrainBelow(std::int64_t end) {
        return To(state_.bufsize < kCloneGrain ? end : GrainBelow(end));
    }
    // Before data or the end: the holes passed over since, tested once for
    // a write by another process.
    void SettleZeros() {
        if (zerosOwed_ > 0) {
            VerifyInputUnchanged(state_);
            AppendZeros(out_, state_, zerosOwed_);
            zerosOwed_ = 0;
        }
    }

private:
    // A piece that starts off the grain goes alone, so the next one starts on
    // it and its whole blocks can be shared.
    void CopyData(std::int64_t pos, std::int64_t length) {
        const std::int64_t head = std::min(length, (kCloneGrain - pos % kCloneGrain) % kCloneGrain);
        if (Observed(state_)) {
            CopyObserved(pos, length, head);
            return;
        }
        for (const auto& [at, n] : {std::pair{pos, head}, std::pair{pos + head, length - head}}) {
            const std::int64_t done = n > 0 ? out_.CopyFrom(state_.instream, at, n) : 0;
            if (done < n) {
                WriteAll(out_, state_, ReadChunk(state_, at + done, n - done), n - done);
            }
        }
    }
    // The sinks see the bytes read into the chunk buffer; the output still
    // shares the input's blocks where it can, written from the buffer where
    // it cannot.
    void CopyObserved(std::int64_t pos, std::int64_t length, std::int64_t head) {
        const std::uint8_t* const data = ReadChunk(state_, pos, length);
        for (ByteSink* sink : {state_.inputSink, state_.outputSink}) {
            if (sink != nullptr) {
                sink->Bytes(data, length);
            }
        }
        WriteAll(out_, state_, data, head);
        const std::int64_t shared = out_.CloneFrom(state_.instream, pos + head, length - head);
        WriteAll(out_, state_, data + head + shared, length - head - shared);
    }

    OutputFile& out_;
    JobState& state_;
    const std::function<bool()> stopRequested_;
    HoleMap holes_;
    std::int64_t copied_;        // the input's offset up to which the output holds its bytes
    std::int64_t zerosOwed_ = 0; // holes copied but not yet appended
    std::int64_t dataCopied_ = 0;
};

void StartWritebackWhileCached(OutputFile& out, const JobState& state, std::int64_t pos) {
    if (InputCachedAhead(state, pos)) {
        out.StartWriteback();
    }
}

// Flushed and put under its name; only then is the copy reported done.
void CommitOutput(OutputFile& out, const JobState& state) {
    if (!out.Commit()) {
        ThrowWriteFailure(out, state);
    }
}

// In a batch the copy waits, whole and unflushed, to be committed with others
// when it fits. False when it is to be committed now.
bool HoldInBatch(std::unique_ptr<OutputFile>& out, const JobState& state, std::int64_t size) {
    if (state.batch == nullptr || !out->Renames() || !state.batch->Takes(size)) {
        return false;
    }
    state.batch->Hold(std::move(out), size, state.outputText);
    return true;
}

// size: what the output will hold, which tells whether it will wait in the
// batch.
void CreateOutput(OutputFile& out, const JobState& state, std::int64_t size) {
    FolderTemps* const temps = state.batch != nullptr ? &state.batch->Temps() : nullptr;
    const Waiting waiting =
        temps != nullptr && state.batch->Takes(size) ? Waiting::InBatch : Waiting::No;
    switch (out.Create(state.outputPath, state.instream, SpecialDestination::WriteInPlace, temps,
                       waiting)) {
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
    auto output = std::make_unique<OutputFile>();
    OutputFile& outstream = *output;
    const std::int64_t outputSize = std::max<std::int64_t>(padcount, 0) + state.outsize;
    CreateOutput(outstream, state, outputSize);

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
        state.held = ending == JobEnding::Finished && HoldInBatch(output, state, outputSize);
        if (!state.held) {
            CommitOutput(outstream, state);
        }
        state.instream.Close();
        buttons.Restore();
        if (!state.held) {
            host.AppendLog(line);
        }
        return ending;
    };

    KeptCopy copy(outstream, state, stopRequested);
    std::int64_t written = 0; // data bytes when writeback was last asked for
    const auto [chunks, rest] = MakeChunkGrid(state.outsize, state.bufsize);
    for (std::int64_t k = 0; k < chunks - 1; ++k) {
        const std::int64_t pos = state.fzero + k * state.bufsize;
        if (host.AbortRequested()) {
            if (!state.abortKeepsPart || !copy.To(pos)) {
                return dropped();
            }
            copy.SettleZeros();
            return end(msg::kAborted, JobEnding::Aborted);
        }
        if (!copy.ToGrainBelow(pos + state.bufsize)) {
            return dropped();
        }
        if (copy.DataCopied() > written) {
            written = copy.DataCopied();
            StartWritebackWhileCached(outstream, state, pos + state.bufsize);
        }
        host.SetGauge(ProgressValue(k + 1, chunks));
        host.Yield();
    }
    if (!copy.To(state.fzero + state.outsize)) {
        return dropped();
    }
    copy.SettleZeros();
    if (!FeedRun(state.inputSink, state.fill, state.mzero, stopRequested)) {
        return dropped();
    }
    return end(msg::kFinished, JobEnding::Finished);
}

} // namespace kst

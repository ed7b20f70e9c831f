// SPDX-License-Identifier: MIT
#include "scan.h"

#include "joberror.h"
#include "messages.h"
#include "zerotest.h"

#include <algorithm>

namespace kst {
namespace {

// A chunk is read in slices into the first kWindow bytes of the chunk buffer
// and each slice is tested while it is still in the core's cache; reading
// stops at the slice that holds the answer. A chunk of the window's size or
// less takes one read, like a whole-chunk read.
constexpr std::int64_t kWindow = 512 * 1024;

// Holes read as zeros, so a chunk wholly inside one is known to hold the fill
// byte 0 without being read. Keeps the last hole it learnt of: a walk from
// the start asks once per hole. A walk from the end meets each hole at its
// top, so after a hole it asks further down each time, twice as far as
// before, and crosses a long hole in a few questions.
class HoleMap {
public:
    explicit HoleMap(const JobState& state)
        : input_(state.instream), asked_(state.fill == 0 && state.instream.MayHaveHoles()) {}

    bool Covers(std::int64_t from, std::int64_t to) {
        if (!asked_ || from == to) {
            return false;
        }
        if (from >= holeFrom_ && to <= holeTo_) {
            return true;
        }
        if (reach_ > 0 && Ask(std::max<std::int64_t>(0, from - reach_), to)) {
            reach_ *= 2;
            return true;
        }
        const bool hole = Ask(from, to);
        reach_ = hole ? to - from : 0;
        return hole;
    }

private:
    // Whether [at, to) holds no data; remembers what was learnt.
    bool Ask(std::int64_t at, std::int64_t to) {
        holeFrom_ = at;
        holeTo_ = input_.DataFrom(at);
        return to <= holeTo_;
    }

    const InputFile& input_;
    const bool asked_;
    std::int64_t holeFrom_ = 0;
    std::int64_t holeTo_ = 0;
    std::int64_t reach_ = 0;
};

// Tests the chunks of one scan. A chunk that was read is then checked for
// changes to the input at once, as after every whole-chunk read; chunks known
// from holes are checked with the next chunk read, or by Finish.
class ChunkTester {
public:
    explicit ChunkTester(JobState& state) : state_(state), holes_(state) {}

    // Offset in the chunk of its first byte other than fill, or -1.
    std::int64_t First(std::int64_t start, std::int64_t length) {
        std::int64_t found = -1;
        if (Hole(start, length)) {
            return found;
        }
        for (std::int64_t at = 0; at < length && found < 0; at += kWindow) {
            const std::int64_t n = std::min(kWindow, length - at);
            Read(start + at, n);
            if (const std::int64_t p = FindFirstOther(window_, n, state_.fill); p >= 0) {
                found = at + p;
            }
        }
        Verify();
        return found;
    }

    // Offset in the chunk of its last byte other than fill, or -1.
    std::int64_t Last(std::int64_t start, std::int64_t length) {
        std::int64_t found = -1;
        if (Hole(start, length)) {
            return found;
        }
        for (std::int64_t end = length; end > 0 && found < 0; end -= kWindow) {
            const std::int64_t n = std::min(kWindow, end);
            Read(start + end - n, n);
            // Tested forwards, the direction memory streams fastest in; the
            // last byte is looked for only in the slice known to hold one.
            if (FindFirstOther(window_, n, state_.fill) >= 0) {
                found = end - n + FindLastOther(window_, n, state_.fill);
            }
        }
        Verify();
        return found;
    }

    void Finish() {
        if (unverified_) {
            Verify();
        }
    }

private:
    // Sets the buffer to the chunk's length; true when holes cover the chunk.
    bool Hole(std::int64_t start, std::int64_t length) {
        window_ = state_.chunkbuf.SetLength(length);
        const bool hole = holes_.Covers(start, start + length);
        unverified_ = unverified_ || hole;
        return hole;
    }

    void Read(std::int64_t pos, std::int64_t length) {
        if (state_.instream.ReadAt(pos, window_, length) != length) {
            throw JobError(FormatMessage(msg::kReadFailed, state_.inputText));
        }
    }

    void Verify() {
        unverified_ = false;
        VerifyInputUnchanged(state_);
    }

    JobState& state_;
    HoleMap holes_;
    std::uint8_t* window_ = nullptr;
    bool unverified_ = false;
};

} // namespace

void ScanLeadingZeros(JobState& state, JobHost& host) {
    const auto [chunks, rest] = state.grid;
    ChunkTester tester(state);
    for (std::int64_t k = 0; k < chunks && state.fzero == -1; ++k) {
        host.SetGauge(ProgressValue(k, chunks));
        host.Yield();
        const std::int64_t length = k == chunks - 1 ? rest : state.bufsize;
        const std::int64_t start = k * state.bufsize;
        if (const std::int64_t p = tester.First(start, length); p >= 0) {
            state.fzero = start + p;
        }
    }
    tester.Finish();
}

void ScanTrailingZeros(JobState& state, JobHost& host) {
    const auto [chunks, rest] = state.grid;
    ChunkTester tester(state);
    for (std::int64_t k = chunks; k > 0; --k) {
        // Progress and the yield come before the found test, so one more
        // update follows the chunk that held the byte.
        host.SetGauge(ProgressValue(k, chunks));
        host.Yield();
        if (state.mzero != -1) {
            break;
        }
        const std::int64_t length = k == 1 ? rest : state.bufsize;
        const std::int64_t behind = (chunks - k) * state.bufsize; // bytes after this chunk
        if (const std::int64_t p = tester.Last(state.insize - behind - length, length); p >= 0) {
            state.mzero = behind + (length - p) - 1;
        }
    }
    tester.Finish();
}

} // namespace kst

// SPDX-License-Identifier: MIT
#include "scan.h"

#include "joberror.h"
#include "messages.h"
#include "readahead.h"
#include "zerotest.h"

namespace kst {
namespace {

// Tests the chunks of one scan as the read-ahead hands them over. Once a
// chunk's pieces are tested the input is checked for changes, as after every
// whole-chunk read; chunks known from holes are checked with the next chunk
// read, or by Finish.
class ChunkTester {
public:
    ChunkTester(JobState& state, ScanSide side)
        : state_(state), plan_(state, side), reader_(plan_) {}

    ByteRange Chunk(std::int64_t visit) const { return plan_.Chunk(visit); }

    // Offset in the chunk of its first byte other than fill, or -1.
    std::int64_t First(ByteRange chunk) {
        std::int64_t found = -1;
        for (bool more = true; more && found < 0;) {
            const Piece& piece = Take(chunk);
            if (piece.hole) {
                return -1;
            }
            more = !piece.endsChunk;
            if (const std::int64_t p = FindFirstOther(piece.data, piece.length, state_.fill);
                p >= 0) {
                found = piece.pos - chunk.start + p;
            }
        }
        Verify();
        return found;
    }

    // Offset in the chunk of its last byte other than fill, or -1.
    std::int64_t Last(ByteRange chunk) {
        std::int64_t found = -1;
        for (bool more = true; more && found < 0;) {
            const Piece& piece = Take(chunk);
            if (piece.hole) {
                return -1;
            }
            more = !piece.endsChunk;
            // Tested forwards, the direction memory streams fastest in; the
            // last byte is looked for only in the piece known to hold one.
            if (FindFirstOther(piece.data, piece.length, state_.fill) >= 0) {
                found =
                    piece.pos - chunk.start + FindLastOther(piece.data, piece.length, state_.fill);
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
    const Piece& Take(ByteRange chunk) {
        // Sized as before the reads were handed over: a chunk that cannot be
        // held fails here, at its first full chunk.
        state_.chunkbuf.SetLength(chunk.length);
        const Piece& piece = reader_.Next();
        if (piece.readFailed) {
            ThrowReadFailure(state_);
        }
        unverified_ = unverified_ || piece.hole;
        return piece;
    }

    void Verify() {
        unverified_ = false;
        VerifyInputUnchanged(state_);
    }

    JobState& state_;
    const ScanPlan plan_;
    ReadAhead reader_; // after plan_, which it copies
    bool unverified_ = false;
};

} // namespace

void ScanLeadingZeros(JobState& state, JobHost& host) {
    const std::int64_t chunks = state.grid.chunks;
    ChunkTester tester(state, ScanSide::Leading);
    for (std::int64_t k = 0; k < chunks && state.fzero == -1; ++k) {
        host.SetGauge(ProgressValue(k, chunks));
        host.Yield();
        const ByteRange chunk = tester.Chunk(k);
        if (const std::int64_t p = tester.First(chunk); p >= 0) {
            state.fzero = chunk.start + p;
        }
    }
    tester.Finish();
}

void ScanTrailingZeros(JobState& state, JobHost& host) {
    const std::int64_t chunks = state.grid.chunks;
    ChunkTester tester(state, ScanSide::Trailing);
    for (std::int64_t k = chunks; k > 0; --k) {
        // Progress and the yield come before the found test, so one more
        // update follows the chunk that held the byte.
        host.SetGauge(ProgressValue(k, chunks));
        host.Yield();
        if (state.mzero != -1) {
            break;
        }
        const ByteRange chunk = tester.Chunk(chunks - k);
        if (const std::int64_t p = tester.Last(chunk); p >= 0) {
            state.mzero = state.insize - chunk.start - p - 1;
        }
    }
    tester.Finish();
}

} // namespace kst

// SPDX-License-Identifier: MIT
#include "scan.h"

#include "joberror.h"
#include "messages.h"
#include "readahead.h"
#include "zerotest.h"

#include <algorithm>
#include <atomic>

namespace kst {
namespace {

// Reads and tests one slice for a scan, in the buffer of the worker that
// took it: a read out of the system's cache into a buffer that stays in the
// core's cache costs the same on every machine and file layout, where a
// mapping's page faults and unmaps cost several times more on some. Each
// worker asks its own hole map.
class SliceReader {
public:
    explicit SliceReader(const ScanPlan& plan)
        : plan_(plan), holes_{HoleMap(plan_), HoleMap(plan_)} {}

    SliceResult operator()(std::int64_t slice, std::uint8_t* buffer, int worker) {
        const ByteRange range = plan_.Slice(slice);
        if (range.length == 0 || holes_[worker].Covers(range)) {
            return {};
        }
        PrefetchBeyond(range);
        if (plan_.input->ReadAt(range.start, buffer, range.length) != range.length) {
            return {-1, true, true, nullptr};
        }
        const std::int64_t at = Find(buffer, range.length);
        const std::int64_t inChunk = range.start - plan_.Chunk(slice / perChunk_).start;
        return {at < 0 ? -1 : inChunk + at, true, false, nullptr,
                at < 0 ? std::uint8_t{0} : buffer[at]};
    }

private:
    // Offset in the slice of the byte the scan wants, or -1.
    std::int64_t Find(const std::uint8_t* data, std::int64_t length) const {
        const std::int64_t first = FindFirstOther(data, length, plan_.fill);
        // Tested forwards, the direction memory streams fastest in; the last
        // byte is looked for only in a slice known to hold one.
        if (plan_.side == ScanSide::Leading || first < 0) {
            return first;
        }
        return FindLastOther(data, length, plan_.fill);
    }

    // Keeps the system reading up to kPrefetchAhead bytes beyond the range,
    // in the scan's direction: it cannot guess that from reads walking
    // backwards, nor from two threads' reads taking turns. Asks for
    // kPrefetchStep bytes at a time, and not at all for a step whose
    // farthest byte is in its cache already: asking costs about as much as a
    // read from the cache. Offsets here count from the scan's start.
    void PrefetchBeyond(ByteRange range) {
        const bool leading = plan_.side == ScanSide::Leading;
        const std::int64_t reached =
            leading ? range.start + range.length : plan_.insize - range.start;
        std::int64_t asked = prefetchedTo_.load();
        if (reached + kPrefetchAhead <= asked || asked >= plan_.insize) {
            return;
        }
        const std::int64_t to = std::min(plan_.insize, reached + kPrefetchAhead + kPrefetchStep);
        // Not from where the last ask ended when the scan has passed it,
        // crossing holes: what lies behind the scan is of no more use.
        const std::int64_t from = std::max(asked, reached);
        const ByteRange ask =
            leading ? ByteRange{from, to - from} : ByteRange{plan_.insize - to, to - from};
        std::uint8_t probe = 0;
        if (prefetchedTo_.compare_exchange_strong(asked, to) && ask.length > 0 &&
            plan_.input->ReadCachedAt(leading ? to - 1 : ask.start, &probe, 1) == 0) {
            plan_.input->Prefetch(ask.start, ask.length);
        }
    }

    static constexpr std::int64_t kPrefetchAhead = std::int64_t{16} << 20;
    static constexpr std::int64_t kPrefetchStep = std::int64_t{4} << 20;

    const ScanPlan& plan_;
    const std::int64_t perChunk_ = plan_.SlicesPerChunk();
    HoleMap holes_[2];
    std::atomic<std::int64_t> prefetchedTo_{0};
};

// Tests the chunks of one scan from the slices' results, taken in order.
// The input is checked for changes once the chunk holding the byte looked
// for is taken, after every kCheckEvery bytes read, and by Finish: an answer
// is never used from a changed file, and a change ends a long scan soon, but
// small chunks do not pay a check each (the check costs more than testing a
// chunk of a few MB read from the system's cache).
class ChunkTester {
public:
    ChunkTester(JobState& state, ScanSide side)
        : state_(state), plan_(state, side), reader_(plan_),
          workers_([this](std::int64_t slice, std::uint8_t* buffer,
                          int worker) { return reader_(slice, buffer, worker); },
                   slices_, plan_.BufferBytes(), plan_.twoWorkers) {}

    ByteRange Chunk(std::int64_t visit) const { return plan_.Chunk(visit); }
    // The byte the last Test found.
    std::uint8_t FoundByte() const { return foundByte_; }

    // Offset in the visit-th chunk of its first byte other than fill when
    // leading, its last when trailing; -1 when it holds none.
    std::int64_t Test(std::int64_t visit) {
        // Sized as before the reads were handed over: a chunk that cannot be
        // held fails here, at its first full chunk. Only slices are touched.
        state_.chunkbuf.SetLength(Chunk(visit).length);
        const std::int64_t end = (visit + 1) * perChunk_;
        std::int64_t found = -1;
        bool read = false;
        for (std::int64_t slice = visit * perChunk_; slice < end && found < 0; ++slice) {
            // While it waits the job's thread tests slices of later chunks
            // too: with small chunks, keeping to its own would leave it
            // idle, waiting on the second thread, once per chunk.
            const SliceResult result = workers_.Take(slices_);
            if (result.failed) {
                ThrowReadFailure(state_);
            }
            read = read || result.read;
            found = result.found;
            foundByte_ = result.byte;
        }
        unverified_ = true;
        readUnverified_ += read ? Chunk(visit).length : 0;
        if (found >= 0 || readUnverified_ >= kCheckEvery) {
            Finish();
        }
        return found;
    }

    void Finish() {
        if (unverified_) {
            unverified_ = false;
            readUnverified_ = 0;
            VerifyInputUnchanged(state_);
        }
    }

private:
    JobState& state_;
    const ScanPlan plan_;
    const std::int64_t perChunk_ = plan_.SlicesPerChunk();
    const std::int64_t slices_ = plan_.grid.chunks * perChunk_;
    SliceReader reader_;   // after plan_, which it uses
    SliceWorkers workers_; // after reader_, which its second thread uses
    std::uint8_t foundByte_ = 0;
    bool unverified_ = false;
    std::int64_t readUnverified_ = 0; // bytes read since the last check

    static constexpr std::int64_t kCheckEvery = std::int64_t{64} << 20;
};

} // namespace

void ScanLeadingZeros(JobState& state, JobHost& host) {
    const std::int64_t chunks = state.grid.chunks;
    ChunkTester tester(state, ScanSide::Leading);
    for (std::int64_t k = 0; k < chunks && state.fzero == -1; ++k) {
        host.SetGauge(ProgressValue(k, chunks));
        host.Yield();
        if (const std::int64_t p = tester.Test(k); p >= 0) {
            const ByteRange chunk = tester.Chunk(k);
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
        if (const std::int64_t p = tester.Test(chunks - k); p >= 0) {
            const ByteRange chunk = tester.Chunk(chunks - k);
            state.mzero = state.insize - chunk.start - p - 1;
            state.byteBeforeTail = tester.FoundByte();
        }
    }
    tester.Finish();
}

} // namespace kst

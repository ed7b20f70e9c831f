// SPDX-License-Identifier: MIT
#pragma once

#include "engineonly.h"

#include "jobstate.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#ifdef __linux__
#include <sched.h>
#endif

namespace kst {

enum class ScanSide { Leading, Trailing };

struct ByteRange {
    std::int64_t start = 0;
    std::int64_t length = 0;
};

// What a scan's reads depend on, copied out of the job when the scan starts:
// the workers use their own copy, never the job's state, which the job's
// thread goes on changing. The input itself is shared, used only through its
// const positional calls.
struct ScanPlan {
    ScanPlan(const JobState& state, ScanSide side);

    // The visit-th chunk (0 = the first visited): the leading grid walked
    // from the start, the trailing grid from the end.
    ByteRange Chunk(std::int64_t visit) const;
    // Slices per chunk: each chunk is cut into slices of up to sliceBytes
    // from the scan's side, the last chunk's past its end left empty.
    std::int64_t SlicesPerChunk() const;
    // Where slice lies in the input; its length is 0 past a short chunk's end.
    ByteRange Slice(std::int64_t slice) const;
    // A worker's buffer: the longest slice, whole pages, no longer than the
    // input needs. A batch of small files then does not map and unmap a
    // slice's worth of pages for each.
    std::int64_t BufferBytes() const;

    const InputFile* input;
    std::int64_t insize;
    std::int64_t bufsize;
    std::int64_t sliceBytes;
    ChunkGrid grid;
    std::uint8_t fill;
    bool holesAreFill; // the fill is 0 and the input may hold holes
    ScanSide side;
    bool twoWorkers; // a second thread tests slices beside the job's own
};

// Holes read as zeros, so a range wholly inside one is known to hold the
// fill byte 0 without being read. Keeps the last hole it learnt of: a walk
// from the start asks once per hole. A walk from the end meets each hole at
// its top, so after a hole it asks further down each time, twice as far as
// before, and crosses a long hole in a few questions.
class HoleMap {
public:
    explicit HoleMap(const ScanPlan& plan);
    bool Covers(ByteRange range);

private:
    bool Ask(std::int64_t at, std::int64_t to);

    const InputFile* input_;
    bool asked_;
    std::int64_t holeFrom_ = 0;
    std::int64_t holeTo_ = 0;
    std::int64_t reach_ = 0;
};

// What testing one slice found.
struct SliceResult {
    std::int64_t found = -1;    // offset in its chunk of the byte the scan wants, or -1
    bool read = false;          // bytes were read, not known from a hole
    bool failed = false;        // the read came short or failed
    std::exception_ptr failure; // what the testing threw, if anything
    std::uint8_t byte = 0;      // the byte found, when one was

    bool EndsScan() const { return found >= 0 || failed; }
};

// A count one thread raises and one other waits on. A wait spins a while
// before it sleeps; a raise takes the lock only to wake a sleeper whose
// wait is over.
class Counter {
public:
    // Sets the count to value, which must not be below it.
    void Raise(std::int64_t value);
    void Increment();
    // Returns once the count exceeds value.
    void AwaitAbove(std::int64_t value);
    std::int64_t Value() const { return value_.load(); }

private:
    void WakeSleepers();

    std::atomic<std::int64_t> value_{0};
    std::atomic<int> sleepers_{0};
    std::atomic<std::int64_t> awaited_{0}; // the sleeper waits for more than this
    std::mutex mutex_;
    std::condition_variable raised_;
};

// Keeps the job's thread on the core it is on and a second thread of its
// scan on the others while the scan runs: left to itself the system may
// run both on one core, taking turns, beside a busy process of low priority
// on the other, and the scan goes no faster than with one thread. Undone when
// destroyed, on the thread that made it. Does nothing where the system takes
// no such request or the process may use one core only.
class CoreSplit {
public:
    CoreSplit();
    ~CoreSplit();
    CoreSplit(const CoreSplit&) = delete;
    CoreSplit& operator=(const CoreSplit&) = delete;
    // Puts the calling thread, the second one, on the cores the job's
    // thread left; called first thing, before it tests a slice.
    void ConfineHelper() const;

private:
#ifdef __linux__
    bool split_ = false;
    cpu_set_t before_{}; // the job's thread's cores, given back at the end
    cpu_set_t others_{};
#endif
};

// Tests the slices of one scan on up to two threads, each slice read into a
// buffer of the testing thread's own, small enough to stay in its cache. The
// slices are handed out in order to whichever thread is free; their results
// are taken in order by the job's thread, which tests slices itself while it
// waits. A second thread runs at most kWindow slices ahead of the results
// taken, and takes no slice after one that ends the scan.
class SliceWorkers {
public:
    static constexpr std::int64_t kWindow = 64;
    // Tests slice into buffer (of the size given); worker is 0 on the job's
    // thread, 1 on the second.
    using Tester = std::function<SliceResult(std::int64_t slice, std::uint8_t* buffer, int worker)>;

    // Throws JobError "メモリが足りません" when the buffers or the thread
    // cannot be had.
    SliceWorkers(Tester test, std::int64_t slices, std::int64_t bufferBytes, bool twoWorkers);
    ~SliceWorkers();
    SliceWorkers(const SliceWorkers&) = delete;
    SliceWorkers& operator=(const SliceWorkers&) = delete;

    // The result of the next slice in order; the job's thread tests slices
    // below upTo itself meanwhile. A failure of the testing itself (not of
    // a read) is thrown here: running out of memory as JobError
    // "メモリが足りません", a JobError as it is; anything else leaves a
    // failed result.
    SliceResult Take(std::int64_t upTo);

private:
    struct Slot {
        SliceResult result;
        std::atomic<bool> done{false};
    };

    void HelperLoop();
    // Claims the next slice when it lies below limit; -1 otherwise.
    std::int64_t Claim(std::int64_t limit);
    std::int64_t HelperLimit() const;
    void Test(std::int64_t slice, int worker);
    Slot& SlotOf(std::int64_t slice) { return slots_[slice % kWindow]; }

    Tester test_;
    const std::int64_t slices_;
    const std::int64_t bufferBytes_;
    struct PageAlignedDelete {
        void operator()(std::uint8_t* bytes) const;
    };
    // One per worker, each starting on a page: the copy out of the page
    // cache then runs between equally aligned addresses, at full speed.
    std::unique_ptr<std::uint8_t[], PageAlignedDelete> buffers_;
    // Throws JobError "メモリが足りません" when they cannot be had.
    static std::unique_ptr<std::uint8_t[], PageAlignedDelete> Allocate(std::int64_t bytes);
    Slot slots_[kWindow];
    std::atomic<std::int64_t> next_{0};  // the next slice to hand out
    std::atomic<std::int64_t> firstEnd_; // the first slice found to end the scan
    Counter taken_;                      // results taken by the job's thread
    Counter tested_;                     // slices tested
    std::atomic<bool> stop_{false};
    std::optional<CoreSplit> cores_; // with a second thread, until it is gone
    std::thread helper_;             // last: starts once everything above is set
};

} // namespace kst

// SPDX-License-Identifier: MIT
#include "readahead.h"

#include "joberror.h"
#include "messages.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <new>
#include <system_error>
#include <utility>
#ifdef __linux__
#include <pthread.h>
#endif

namespace kst {
namespace {

// A slice comes out of the page cache in about the time a sleep and a
// wake-up take on a virtual machine, so a wait spins this long first.
constexpr auto kSpin = std::chrono::microseconds(200);

void Pause() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __builtin_ia32_pause();
#endif
}

constexpr std::align_val_t kPage{4096};

// Out of memory reads as the job's own failure and a JobError stays one;
// anything else returns, leaving the failed result for the scan to report.
void RaiseTestFailure(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const JobError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw JobError(ErrorKind::OutOfMemory, msg::kOutOfMemory);
    } catch (...) {
    }
}

} // namespace

void Counter::Raise(std::int64_t value) {
    value_.store(value);
    WakeSleepers();
}

void Counter::Increment() {
    value_.fetch_add(1);
    WakeSleepers();
}

void Counter::WakeSleepers() {
    if (sleepers_.load() > 0 && value_.load() > awaited_.load()) {
        const std::lock_guard lock(mutex_);
        raised_.notify_all();
    }
}

void Counter::AwaitAbove(std::int64_t value) {
    const auto spinUntil = std::chrono::steady_clock::now() + kSpin;
    while (value_.load(std::memory_order_acquire) <= value) {
        if (std::chrono::steady_clock::now() >= spinUntil) {
            // Counted as asleep before the last look: a raise after that
            // look sees the sleeper and wakes it.
            std::unique_lock lock(mutex_);
            awaited_.store(value);
            ++sleepers_;
            raised_.wait(lock, [&] { return value_.load() > value; });
            --sleepers_;
            return;
        }
        for (int i = 0; i < 16; ++i) {
            Pause();
        }
    }
}

ScanPlan::ScanPlan(const JobState& state, ScanSide scanSide)
    : input(&state.instream), insize(state.insize), bufsize(state.bufsize),
      sliceBytes(std::min(state.scanSliceBytes, std::max<std::int64_t>(state.bufsize, 1))),
      grid(state.grid), fill(state.fill),
      holesAreFill(state.fill == 0 && state.instream.MayHaveHoles()), side(scanSide),
      twoWorkers(state.insize >= state.readAheadFrom) {}

ByteRange ScanPlan::Chunk(std::int64_t visit) const {
    const std::int64_t length = visit == grid.chunks - 1 ? grid.rest : bufsize;
    if (side == ScanSide::Leading) {
        return {visit * bufsize, length};
    }
    const std::int64_t behind = visit * bufsize; // bytes after the chunk
    return {insize - behind - length, length};
}

std::int64_t ScanPlan::SlicesPerChunk() const {
    return std::max<std::int64_t>(1, (bufsize + sliceBytes - 1) / sliceBytes);
}

std::int64_t ScanPlan::BufferBytes() const {
    const auto page = static_cast<std::int64_t>(kPage);
    const std::int64_t pages = (std::min(sliceBytes, insize) + page - 1) / page;
    return std::max<std::int64_t>(pages, 1) * page;
}

ByteRange ScanPlan::Slice(std::int64_t slice) const {
    const std::int64_t perChunk = SlicesPerChunk();
    const ByteRange chunk = Chunk(slice / perChunk);
    const std::int64_t done = slice % perChunk * sliceBytes; // bytes of the chunk before it
    const std::int64_t n = std::clamp<std::int64_t>(chunk.length - done, 0, sliceBytes);
    if (side == ScanSide::Leading) {
        return {chunk.start + done, n};
    }
    return {chunk.start + chunk.length - done - n, n};
}

HoleMap::HoleMap(const ScanPlan& plan) : input_(plan.input), asked_(plan.holesAreFill) {}

bool HoleMap::Covers(ByteRange range) {
    const std::int64_t from = range.start;
    const std::int64_t to = range.start + range.length;
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

// Whether [at, to) holds no data; remembers what was learnt.
bool HoleMap::Ask(std::int64_t at, std::int64_t to) {
    holeFrom_ = at;
    holeTo_ = input_->DataFrom(at);
    return to <= holeTo_;
}

void SliceWorkers::PageAlignedDelete::operator()(std::uint8_t* bytes) const {
    ::operator delete[](bytes, kPage);
}

std::unique_ptr<std::uint8_t[], SliceWorkers::PageAlignedDelete>
SliceWorkers::Allocate(std::int64_t bytes) {
    try {
        return std::unique_ptr<std::uint8_t[], PageAlignedDelete>(
            static_cast<std::uint8_t*>(::operator new[](static_cast<std::size_t>(bytes), kPage)));
    } catch (const std::bad_alloc&) {
        throw JobError(ErrorKind::OutOfMemory, msg::kOutOfMemory);
    }
}

#ifdef __linux__
CoreSplit::CoreSplit() {
    const int here = ::sched_getcpu();
    if (here < 0 || ::pthread_getaffinity_np(::pthread_self(), sizeof before_, &before_) != 0 ||
        CPU_COUNT(&before_) < 2 || !CPU_ISSET(here, &before_)) {
        return;
    }
    cpu_set_t mine;
    CPU_ZERO(&mine);
    CPU_SET(here, &mine);
    others_ = before_;
    CPU_CLR(here, &others_);
    split_ = ::pthread_setaffinity_np(::pthread_self(), sizeof mine, &mine) == 0;
}

CoreSplit::~CoreSplit() {
    if (split_) {
        ::pthread_setaffinity_np(::pthread_self(), sizeof before_, &before_);
    }
}

void CoreSplit::ConfineHelper() const {
    if (split_) {
        ::pthread_setaffinity_np(::pthread_self(), sizeof others_, &others_);
    }
}
#else
CoreSplit::CoreSplit() = default;
CoreSplit::~CoreSplit() = default;
void CoreSplit::ConfineHelper() const {}
#endif

SliceWorkers::SliceWorkers(Tester test, std::int64_t slices, std::int64_t bufferBytes,
                           bool twoWorkers)
    : test_(std::move(test)), slices_(slices), bufferBytes_(bufferBytes),
      buffers_(Allocate((twoWorkers ? 2 : 1) * bufferBytes)), firstEnd_(slices) {
    if (!twoWorkers) {
        return;
    }
    cores_.emplace();
    try {
        helper_ = std::thread([this] { HelperLoop(); });
    } catch (const std::system_error&) {
        throw JobError(ErrorKind::OutOfMemory, msg::kOutOfMemory);
    }
}

SliceWorkers::~SliceWorkers() {
    if (helper_.joinable()) {
        stop_.store(true);
        taken_.Raise(std::numeric_limits<std::int64_t>::max());
        helper_.join();
    }
}

SliceResult SliceWorkers::Take(std::int64_t upTo) {
    const std::int64_t index = taken_.Value();
    Slot& slot = SlotOf(index);
    while (!slot.done.load(std::memory_order_acquire)) {
        if (const std::int64_t mine = Claim(std::min(upTo, index + kWindow)); mine >= 0) {
            Test(mine, 0);
            continue;
        }
        const std::int64_t seen = tested_.Value();
        if (!slot.done.load(std::memory_order_acquire)) {
            tested_.AwaitAbove(seen);
        }
    }
    SliceResult result = std::move(slot.result);
    slot.done.store(false, std::memory_order_relaxed);
    taken_.Raise(index + 1); // frees the slot for the slice kWindow on
    if (result.failure) {
        RaiseTestFailure(result.failure);
    }
    return result;
}

std::int64_t SliceWorkers::Claim(std::int64_t limit) {
    limit = std::min({limit, slices_, firstEnd_.load()});
    std::int64_t slice = next_.load();
    while (slice < limit) {
        if (next_.compare_exchange_weak(slice, slice + 1)) {
            return slice;
        }
    }
    return -1;
}

// The second thread: tests slices while any are left before the first that
// ends the scan, keeping within the window ahead of the results taken.
void SliceWorkers::HelperLoop() {
    cores_->ConfineHelper();
    while (!stop_.load()) {
        if (const std::int64_t slice = Claim(taken_.Value() + kWindow); slice >= 0) {
            Test(slice, 1);
            continue;
        }
        const std::int64_t next = next_.load();
        if (next >= std::min(slices_, firstEnd_.load())) {
            return;
        }
        // Waits for half the window, not one slot: one wake-up per many
        // slices, not one each.
        taken_.AwaitAbove(next - kWindow / 2);
    }
}

// Nothing thrown while testing may leave the second thread (that would end
// the process): it is kept in the result, for the scan to meet in order.
void SliceWorkers::Test(std::int64_t slice, int worker) {
    Slot& slot = SlotOf(slice);
    try {
        slot.result = test_(slice, buffers_.get() + worker * bufferBytes_, worker);
    } catch (...) {
        slot.result = SliceResult{-1, false, true, std::current_exception()};
    }
    if (slot.result.EndsScan()) {
        std::int64_t first = firstEnd_.load();
        while (slice < first && !firstEnd_.compare_exchange_weak(first, slice)) {
        }
    }
    slot.done.store(true, std::memory_order_release);
    tested_.Increment();
}

} // namespace kst

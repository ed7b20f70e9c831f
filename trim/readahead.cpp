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

namespace kst {
namespace {

// A piece comes out of the page cache in about the time a sleep and a
// wake-up take on a virtual machine, so a wait spins this long first.
constexpr auto kSpin = std::chrono::microseconds(200);

void Pause() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __builtin_ia32_pause();
#endif
}

std::unique_ptr<std::uint8_t[]> AllocateSlots(std::int64_t bytes) {
    try {
        return std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(bytes));
    } catch (const std::bad_alloc&) {
        throw JobError(ErrorKind::OutOfMemory, msg::kOutOfMemory);
    }
}

std::int64_t SlotBytes(std::int64_t bufsize) {
    return std::min(ReadAhead::kPieceBytes, bufsize);
}

Piece FailedPiece() {
    return {0, 0, nullptr, false, true, true};
}

// Out of memory reads as the job's own failure and a JobError stays one;
// anything else returns, leaving the failed piece for the scan to report.
void RaiseReaderFailure(const std::exception_ptr& failure) {
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
    if (sleepers_.load() > 0) {
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
    : input(&state.instream), insize(state.insize), bufsize(state.bufsize), grid(state.grid),
      fill(state.fill), holesAreFill(state.fill == 0 && state.instream.MayHaveHoles()),
      side(scanSide),
      reading(state.insize >= state.readAheadFrom ? Reading::Ahead : Reading::InTurn) {}

ByteRange ScanPlan::Chunk(std::int64_t visit) const {
    const std::int64_t length = visit == grid.chunks - 1 ? grid.rest : bufsize;
    if (side == ScanSide::Leading) {
        return {visit * bufsize, length};
    }
    const std::int64_t behind = visit * bufsize; // bytes after the chunk
    return {insize - behind - length, length};
}

HoleMap::HoleMap(const ScanPlan& plan) : input_(plan.input), asked_(plan.holesAreFill) {}

bool HoleMap::Covers(ByteRange chunk) {
    const std::int64_t from = chunk.start;
    const std::int64_t to = chunk.start + chunk.length;
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

PieceSource::PieceSource(const ScanPlan& plan, std::int64_t pieceBytes)
    : plan_(plan), pieceBytes_(pieceBytes), holes_(plan_) {}

Piece PieceSource::Produce(std::uint8_t* buffer) {
    if (visit_ == plan_.grid.chunks) {
        return FailedPiece();
    }
    const ByteRange chunk = plan_.Chunk(visit_);
    if (done_ == 0 && holes_.Covers(chunk)) {
        ++visit_;
        return {chunk.start, chunk.length, nullptr, true, false, true};
    }
    const std::int64_t n = std::min(pieceBytes_, chunk.length - done_);
    const std::int64_t pos = plan_.side == ScanSide::Leading
                                 ? chunk.start + done_
                                 : chunk.start + chunk.length - done_ - n;
    done_ += n;
    const bool failed = plan_.input->ReadAt(pos, buffer, n) != n;
    const bool ends = done_ == chunk.length;
    if (ends) {
        ++visit_;
        done_ = 0;
    }
    return {pos, n, buffer, false, failed, ends};
}

ReadAhead::ReadAhead(const ScanPlan& plan)
    : ReadAhead([source = PieceSource(plan, SlotBytes(plan.bufsize))](
                    std::uint8_t* buffer) mutable { return source.Produce(buffer); },
                SlotBytes(plan.bufsize), plan.reading) {}

ReadAhead::ReadAhead(Producer produce, std::int64_t slotBytes, Reading reading)
    : produce_(std::move(produce)), slotBytes_(slotBytes), reading_(reading),
      slots_(AllocateSlots((reading == Reading::InTurn ? 1 : kSlots) * slotBytes_)) {
    if (reading_ != Reading::Ahead) {
        return;
    }
    try {
        reader_ = std::thread([this] { ReadAll(); });
    } catch (const std::system_error&) {
        throw JobError(ErrorKind::OutOfMemory, msg::kOutOfMemory);
    }
}

ReadAhead::~ReadAhead() {
    if (reader_.joinable()) {
        stop_.store(true);
        released_.Raise(std::numeric_limits<std::int64_t>::max());
        reader_.join();
    }
}

const Piece& ReadAhead::Next() {
    if (reading_ == Reading::InTurn) {
        pieces_[0] = Produce(slots_.get());
        return Handed(pieces_[0]);
    }
    released_.Raise(handed_);
    published_.AwaitAbove(handed_);
    return Handed(pieces_[handed_++ % kSlots]);
}

bool ReadAhead::TryRead() {
    const std::int64_t index = published_.Value();
    if (reading_ != Reading::Driven || readerDone_ || released_.Value() <= index - kSlots) {
        return false;
    }
    readerDone_ = !ReadInto(index);
    return true;
}

const Piece& ReadAhead::Handed(const Piece& piece) const {
    if (piece.readFailed && failure_) {
        RaiseReaderFailure(failure_);
    }
    return piece;
}

// The reader's thread: reads until a piece fails, the scan ends it, or it
// has handed over the failed piece past the last chunk.
void ReadAhead::ReadAll() {
    for (std::int64_t index = 0; AwaitSlot(index) && ReadInto(index); ++index) {
    }
}

bool ReadAhead::ReadInto(std::int64_t index) {
    const Piece piece = Produce(Slot(index));
    pieces_[index % kSlots] = piece;
    published_.Raise(index + 1);
    return !piece.readFailed;
}

// Nothing thrown while reading may leave the reader's thread (that would
// end the process): it is kept for the scan, to meet with the failed piece.
Piece ReadAhead::Produce(std::uint8_t* buffer) {
    try {
        return produce_(buffer);
    } catch (...) {
        failure_ = std::current_exception();
        return FailedPiece();
    }
}

std::uint8_t* ReadAhead::Slot(std::int64_t index) const {
    return slots_.get() + (index % kSlots) * slotBytes_;
}

bool ReadAhead::AwaitSlot(std::int64_t index) {
    // The slot is free once the scan has given up the piece kSlots before.
    released_.AwaitAbove(index - kSlots);
    return !stop_.load();
}

} // namespace kst

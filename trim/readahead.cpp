// SPDX-License-Identifier: MIT
#include "readahead.h"

#include "joberror.h"
#include "messages.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <new>
#include <system_error>

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

ByteRange VisitedChunk(const JobState& state, ScanSide side, std::int64_t visit) {
    const auto [chunks, rest] = state.grid;
    const std::int64_t length = visit == chunks - 1 ? rest : state.bufsize;
    if (side == ScanSide::Leading) {
        return {visit * state.bufsize, length};
    }
    const std::int64_t behind = visit * state.bufsize; // bytes after the chunk
    return {state.insize - behind - length, length};
}

HoleMap::HoleMap(const JobState& state)
    : input_(state.instream), asked_(state.fill == 0 && state.instream.MayHaveHoles()) {}

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
    holeTo_ = input_.DataFrom(at);
    return to <= holeTo_;
}

PieceSource::PieceSource(const JobState& state, ScanSide side, std::int64_t pieceBytes)
    : state_(state), side_(side), pieceBytes_(pieceBytes), holes_(state) {}

Piece PieceSource::Produce(std::uint8_t* buffer) {
    if (visit_ == state_.grid.chunks) {
        return {0, 0, nullptr, false, true, true};
    }
    const ByteRange chunk = VisitedChunk(state_, side_, visit_);
    if (done_ == 0 && holes_.Covers(chunk)) {
        ++visit_;
        return {chunk.start, chunk.length, nullptr, true, false, true};
    }
    const std::int64_t n = std::min(pieceBytes_, chunk.length - done_);
    const std::int64_t pos =
        side_ == ScanSide::Leading ? chunk.start + done_ : chunk.start + chunk.length - done_ - n;
    done_ += n;
    const bool failed = state_.instream.ReadAt(pos, buffer, n) != n;
    const bool ends = done_ == chunk.length;
    if (ends) {
        ++visit_;
        done_ = 0;
    }
    return {pos, n, buffer, false, failed, ends};
}

ReadAhead::ReadAhead(const JobState& state, ScanSide side)
    : slotBytes_(std::min(kPieceBytes, state.bufsize)),
      threaded_(state.insize >= state.readAheadFrom),
      slots_(AllocateSlots((threaded_ ? kSlots : 1) * slotBytes_)),
      source_(state, side, slotBytes_) {
    if (!threaded_) {
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
    if (!threaded_) {
        pieces_[0] = source_.Produce(slots_.get());
        return pieces_[0];
    }
    released_.Raise(handed_);
    published_.AwaitAbove(handed_);
    return pieces_[handed_++ % kSlots];
}

// The reader's thread: reads until a piece fails, the scan ends it, or it
// has handed over the failed piece past the last chunk.
void ReadAhead::ReadAll() {
    for (std::int64_t index = 0; AwaitSlot(index); ++index) {
        const Piece piece = source_.Produce(Slot(index));
        pieces_[index % kSlots] = piece;
        published_.Raise(index + 1);
        if (piece.readFailed) {
            return;
        }
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

// SPDX-License-Identifier: MIT
#pragma once

#include "jobstate.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace kst {

enum class ScanSide { Leading, Trailing };

struct ByteRange {
    std::int64_t start = 0;
    std::int64_t length = 0;
};

// The visit-th chunk (0 = the first visited) of a scan: the leading grid
// walked from the start, the trailing grid from the end.
ByteRange VisitedChunk(const JobState& state, ScanSide side, std::int64_t visit);

// A piece of a chunk as the reader left it.
struct Piece {
    std::int64_t pos = 0;
    std::int64_t length = 0;
    const std::uint8_t* data = nullptr;
    bool hole = false;       // the chunk lies wholly in a hole: all zeros, not read
    bool readFailed = false; // the read came short or failed; nothing follows
    bool endsChunk = false;
};

// Holes read as zeros, so a chunk wholly inside one is known to hold the fill
// byte 0 without being read. Keeps the last hole it learnt of: a walk from
// the start asks once per hole. A walk from the end meets each hole at its
// top, so after a hole it asks further down each time, twice as far as
// before, and crosses a long hole in a few questions.
class HoleMap {
public:
    explicit HoleMap(const JobState& state);
    bool Covers(ByteRange chunk);

private:
    bool Ask(std::int64_t at, std::int64_t to);

    const InputFile& input_;
    const bool asked_;
    std::int64_t holeFrom_ = 0;
    std::int64_t holeTo_ = 0;
    std::int64_t reach_ = 0;
};

// The pieces of one scan in the order it visits them: each chunk cut into
// pieces of up to pieceBytes from the scan's side, or one hole piece.
class PieceSource {
public:
    PieceSource(const JobState& state, ScanSide side, std::int64_t pieceBytes);
    // Reads the next piece into buffer; past the last chunk, a failed one.
    Piece Produce(std::uint8_t* buffer);

private:
    const JobState& state_;
    const ScanSide side_;
    const std::int64_t pieceBytes_;
    HoleMap holes_;
    std::int64_t visit_ = 0;
    std::int64_t done_ = 0; // bytes of the visited chunk handed out
};

// A count one thread raises and another waits on. A wait spins a while
// before it sleeps; a raise takes the lock only when someone sleeps.
class Counter {
public:
    void Raise(std::int64_t value);
    // Returns once the count exceeds value.
    void AwaitAbove(std::int64_t value);

private:
    std::atomic<std::int64_t> value_{0};
    std::atomic<int> sleepers_{0};
    std::mutex mutex_;
    std::condition_variable raised_;
};

// Hands a scan its pieces. From state.readAheadFrom bytes of input on, a
// second thread reads them ahead while the scan tests the ones before, so
// the copy out of the page cache and the test overlap; at most kSlots pieces
// then wait untested. Smaller inputs are read in turn.
class ReadAhead {
public:
    static constexpr std::int64_t kPieceBytes = 2 * 1024 * 1024;
    static constexpr int kSlots = 3;

    // Throws JobError "メモリが足りません" when the pieces cannot be held.
    ReadAhead(const JobState& state, ScanSide side);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next piece; the one returned before is given up.
    const Piece& Next();

private:
    void ReadAll();
    std::uint8_t* Slot(std::int64_t index) const;
    // Waits until piece index may be written; false once stopped.
    bool AwaitSlot(std::int64_t index);

    const std::int64_t slotBytes_;
    const bool threaded_;
    std::unique_ptr<std::uint8_t[]> slots_;
    PieceSource source_;
    Piece pieces_[kSlots];
    std::int64_t handed_ = 0; // pieces given to the scan
    Counter published_;       // pieces read
    Counter released_;        // pieces given up by the scan
    std::atomic<bool> stop_{false};
    std::thread reader_; // last: starts once everything above is set
};

} // namespace kst

// SPDX-License-Identifier: MIT
#pragma once

#include "jobstate.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace kst {

enum class ScanSide { Leading, Trailing };

// How a scan's pieces are read: in turn as the scan asks, ahead on a second
// thread, or (for tests) only when TryRead is called, so the order of reads
// and hand-overs is the caller's.
enum class Reading { InTurn, Ahead, Driven };

struct ByteRange {
    std::int64_t start = 0;
    std::int64_t length = 0;
};

// What a scan's reads depend on, copied out of the job when the scan starts:
// the reader's thread works on its own copy, never on the job's state, which
// the job's thread goes on changing. The input itself is shared, used only
// through its const positional calls.
struct ScanPlan {
    ScanPlan(const JobState& state, ScanSide side);

    // The visit-th chunk (0 = the first visited): the leading grid walked
    // from the start, the trailing grid from the end.
    ByteRange Chunk(std::int64_t visit) const;

    const InputFile* input;
    std::int64_t insize;
    std::int64_t bufsize;
    ChunkGrid grid;
    std::uint8_t fill;
    bool holesAreFill; // the fill is 0 and the input may hold holes
    ScanSide side;
    Reading reading;
};

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
    explicit HoleMap(const ScanPlan& plan);
    bool Covers(ByteRange chunk);

private:
    bool Ask(std::int64_t at, std::int64_t to);

    const InputFile* input_;
    bool asked_;
    std::int64_t holeFrom_ = 0;
    std::int64_t holeTo_ = 0;
    std::int64_t reach_ = 0;
};

// The pieces of one scan in the order it visits them: each chunk cut into
// pieces of up to pieceBytes from the scan's side, or one hole piece.
class PieceSource {
public:
    PieceSource(const ScanPlan& plan, std::int64_t pieceBytes);
    // Reads the next piece into buffer; past the last chunk, a failed one.
    Piece Produce(std::uint8_t* buffer);

private:
    ScanPlan plan_;
    std::int64_t pieceBytes_;
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
    std::int64_t Value() const { return value_.load(); }

private:
    std::atomic<std::int64_t> value_{0};
    std::atomic<int> sleepers_{0};
    std::mutex mutex_;
    std::condition_variable raised_;
};

// Hands a scan its pieces. From state.readAheadFrom bytes of input on, a
// second thread reads them ahead while the scan tests the ones before, so
// the copy out of the page cache and the test overlap; at most kSlots pieces
// are then held, the one the scan tests and those read ahead of it. Smaller
// inputs are read in turn.
class ReadAhead {
public:
    static constexpr std::int64_t kPieceBytes = 2 * 1024 * 1024;
    static constexpr int kSlots = 3;
    // Reads the next piece into a buffer of the slot's size.
    using Producer = std::function<Piece(std::uint8_t* buffer)>;

    // Throws JobError "メモリが足りません" when the pieces cannot be held.
    explicit ReadAhead(const ScanPlan& plan);
    ReadAhead(Producer produce, std::int64_t slotBytes, Reading reading);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next piece; the one returned before is given up. A failure of the
    // reading itself (not of a read) is thrown here: running out of memory
    // as JobError "メモリが足りません", a JobError as it is; anything else
    // leaves a failed piece, reported by the scan as a failed read.
    const Piece& Next();

    // Reading::Driven only: reads the next piece when its slot is free and
    // the last piece is not read yet; false otherwise.
    bool TryRead();

private:
    void ReadAll();
    // Reads piece index into its slot and hands it over; false after the last.
    bool ReadInto(std::int64_t index);
    Piece Produce(std::uint8_t* buffer);
    std::uint8_t* Slot(std::int64_t index) const;
    // Waits until piece index may be written; false once stopped.
    bool AwaitSlot(std::int64_t index);
    const Piece& Handed(const Piece& piece) const;

    Producer produce_;
    const std::int64_t slotBytes_;
    const Reading reading_;
    std::unique_ptr<std::uint8_t[]> slots_;
    Piece pieces_[kSlots];
    std::exception_ptr failure_; // set before the failed piece is handed over
    bool readerDone_ = false;    // the reading side's own: the last piece is read
    std::int64_t handed_ = 0;    // pieces given to the scan
    Counter published_;          // pieces read
    Counter released_;           // pieces given up by the scan
    std::atomic<bool> stop_{false};
    std::thread reader_; // last: starts once everything above is set
};

} // namespace kst

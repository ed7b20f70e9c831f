// SPDX-License-Identifier: MIT
#pragma once

#include "oserror.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <vector>

namespace kst {

#ifdef _WIN32
using NativeHandle = void*;
#else
using NativeHandle = int;
#endif

// The input, open for reading and held without sharing: on POSIX an
// exclusive non-blocking lock, on Windows share mode 0. Only regular files
// open, so a folder, a FIFO or a device fails at once instead of hanging.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Where the system can, an input watches for writes by others (see
    // Unchanged). Closing a watch waits on the system for milliseconds, so a
    // glance at a few bytes may go without.
    // WritesInBatch leaves the watch behind at Close, for
    // ReleaseBatchWatches to remove with the others of its batch: removing
    // each costs a small file's job about as much again as its copy.
    enum class Watch { Writes, WritesInBatch, None };
    static void ReleaseBatchWatches();
    // Links::Refuse fails when the name itself is a link, so a file planted
    // as a link is never read through it.
    enum class Links { Follow, Refuse };
    bool Open(const std::filesystem::path& path, Watch watch = Watch::Writes,
              Links links = Links::Follow);
    bool IsOpen() const;
    void Close();

    // Length in bytes, -1 when it cannot be read.
    std::int64_t Size() const;
    // Length in bytes when it was opened.
    std::int64_t SizeAtOpen() const { return openSize_; }
    // Reads up to length bytes at pos; returns the count read (short only at
    // the end of the file) or -1 on failure.
    std::int64_t ReadAt(std::int64_t pos, std::uint8_t* buffer, std::int64_t length) const;
    // Reads what the system's cache holds of up to length bytes at pos,
    // without waiting on the device: returns the count read, from 0 (nothing
    // cached, or the system cannot tell) up to length.
    std::int64_t ReadCachedAt(std::int64_t pos, std::uint8_t* buffer, std::int64_t length) const;
    // Asks the system to start reading [pos, pos + length) into its cache,
    // without waiting; a hint for reads it cannot foresee, such as a walk
    // from the end. Does nothing where the system takes no such hint.
    void Prefetch(std::int64_t pos, std::int64_t length) const;
    // True when the file may hold holes, ranges that read as zeros without
    // being stored; DataFrom is worth asking only then. On POSIX as it was
    // at Open: a hole punched since is a write, which Unchanged reports.
    bool MayHaveHoles() const;
    // Offset of the first byte at or after pos that may be stored data: pos
    // when pos lies in data or the system cannot tell, Size() when only holes
    // follow. On POSIX it moves the file position, which ReadAt does not use.
    std::int64_t DataFrom(std::int64_t pos) const;
    // Offset of the first hole at or after pos: Size() when none follows or
    // the system cannot tell.
    std::int64_t HoleFrom(std::int64_t pos) const;
    // False once the file's size or modification time differs from those at
    // Open: another process has written to it since.
    bool Unchanged() const;

    NativeHandle Handle() const { return handle_; }
    // The system's code for the last Open or read that failed, 0 when none.
    OsErrorCode LastError() const { return error_.load(std::memory_order_relaxed); }

private:
    NativeHandle handle_ = InvalidHandle();
    // Reads run on two threads; either may fail.
    mutable std::atomic<OsErrorCode> error_{0};
    // Size and modification time at Open, the time in the platform's units.
    std::int64_t openSize_ = -1;
    std::int64_t openTime_ = 0;
#ifndef _WIN32
    int writeWatch_ = -1; // the process's watch on it, where the system has one
    bool leaveWatch_ = false;
    bool openWithHoles_ = false;
    int openMode_ = 0;   // permission bits, which its copies take
    int openGroup_ = -1; // and its group
#endif
    static NativeHandle InvalidHandle();
    friend class OutputFile;
};

// Blocks are shared between files only whole: at offsets that are multiples
// of the file system's block, which is at most this on the systems that
// clone (btrfs, XFS, bcachefs, ReFS clusters).
inline constexpr std::int64_t kCloneGrain = 64 * 1024;

enum class CreateResult {
    Created,
    Failed,   // cannot be created: no such folder, no permission, held elsewhere
    SameFile, // the destination is the input itself
};

// What Create does with a destination that is neither a file nor a link nor
// a folder, such as a device or a FIFO.
enum class SpecialDestination {
    WriteInPlace, // the job's copy: written into it, as to /dev/null
    Replace,      // restored files: replaced like a file, never written through
};

// The temporary names in the folders a run of jobs writes into, each folder
// listed once: in a folder of many files a listing per output would cost
// more than the copy. The outputs made with it sweep the stale temporaries
// of their own names from the list.
class FolderTemps {
public:
    FolderTemps() = default;
    ~FolderTemps();
    FolderTemps(const FolderTemps&) = delete;
    FolderTemps& operator=(const FolderTemps&) = delete;

    // The temporary names in folder when this run first asked; entries are
    // taken out as outputs deal with them.
    std::vector<std::filesystem::path>& In(const std::filesystem::path& folder);
#ifndef _WIN32
    // The folder, opened the first time this run asked and shared by the
    // outputs made in it: opening it for each would cost a small file's job
    // more than its copy. -1 when it cannot be opened (errno says why).
    // The outputs given it must be gone before this is, or CloseFolders
    // is called.
    int Opened(const std::filesystem::path& folder);
#endif
    // Closes the folders opened, once no output made in them is left; the
    // names listed are kept for the rest of the run.
    void CloseFolders();

private:
    std::map<std::filesystem::path, std::vector<std::filesystem::path>> folders_;
#ifndef _WIN32
    std::map<std::filesystem::path, int> opened_;
#endif
};

// Whether an output will wait in a batch to be committed with others. One
// that will (POSIX) shares the folder its run's FolderTemps holds open, and
// where the file system can, and nothing stands at its destination, is
// written as a file with no name at all, named only once flushed: a crash
// then leaves nothing behind, and its folder takes one new name, not two.
enum class Waiting { No, InBatch };

// The number of files this process may hold open at once, first raised
// towards wanted as far as the system allows.
std::int64_t RaiseOpenFileLimit(std::int64_t wanted);

// The output. A destination that is absent, a regular file or a link is
// written under a fresh temporary name beside it (created new and exclusive,
// private to its owner, locked like the input) and only Commit puts it under
// the destination's name, replacing a file or a link there, never writing
// through it: until then whatever stood at the destination stays as it was,
// even if the process dies. The finished file takes the reference file's
// permission bits (the input's, less the umask; readable by no one else,
// its owner may write it). A destination
// that is something else, such as a device, is written in place unless told
// otherwise. Anything not committed is removed again.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Refuses a folder, a destination that leads back to the input, a file
    // held by someone else or one this process may not write, and touches
    // none of them. Temporary files of the destination that a job left when
    // it died are removed first: found by listing the folder, or in temps
    // when given (a batch's, which lists each folder once).
    // input is also the reference whose permissions the finished file takes.
    // Waiting::InBatch needs temps, and the output must be gone before
    // temps closes its folders.
    CreateResult Create(const std::filesystem::path& destination, const InputFile& input,
                        SpecialDestination special = SpecialDestination::WriteInPlace,
                        FolderTemps* temps = nullptr, Waiting waiting = Waiting::No);
    // Writes all of buffer; returns the count stored, less on failure.
    std::int64_t Write(const std::uint8_t* buffer, std::int64_t length);
    // Appends length bytes of input from pos inside the system where it can:
    // whole blocks are shared with the input where the file system clones
    // (btrfs, XFS, bcachefs, ReFS), the rest copied by the kernel (Linux).
    // Returns the count appended. It stops short, and is not tried again,
    // the first time the system refuses or fails: the caller moves the rest
    // through its own buffer, whose read and write then report any real
    // failure.
    std::int64_t CopyFrom(const InputFile& input, std::int64_t pos, std::int64_t length);
    // Appends what of length bytes of input from pos the file system can
    // share, never copying: whole blocks, from pos on, when pos and the
    // output's end both lie on a multiple of kCloneGrain. Returns the count
    // appended, 0 where nothing can be shared; a refusal is final, as in
    // CopyFrom.
    std::int64_t CloneFrom(const InputFile& input, std::int64_t pos, std::int64_t length);
    // Appends count zero bytes by moving the end of the file, leaving a hole
    // where the file system keeps holes (on Windows the file is marked sparse
    // first; where that is refused the range is still zeros, only stored).
    // A device written in place is sent the zeros. False on failure.
    bool AppendZeros(std::int64_t count);
    // True when the file system takes a file of size bytes here: asked by
    // growing the still empty file to it and back, which stores nothing.
    bool CanHold(std::int64_t size);
    // Starts writing what was appended so far to the disk, without waiting
    // for it, so that Commit's flush finds little left to do. A hint: its
    // failures show in Commit.
    void StartWriteback();
    // Flushes the data to the disk, renames the file onto the destination
    // and makes the folder entry durable. False when the data could not be
    // stored or named; the file is then removed on Discard.
    bool Commit();
    // Commit in steps, for outputs committed as a group. Flush and
    // FlushTogether store the data (false for each that could not be);
    // PutInPlace renames a flushed file onto its destination; SyncFolder
    // makes the names in its folder durable, once for all the outputs there.
    bool Flush();
    static std::vector<bool> FlushTogether(std::span<OutputFile* const> outputs);
    bool PutInPlace();
    void SyncFolder();
    // True when Commit has a temporary to put in place (not a device
    // written in place).
    bool Renames() const { return !tempPath_.empty() || unnamed_; }
    // Closes and removes what was written, unless it was committed or
    // written in place.
    void Discard();
    // The temporary name in use, empty when none (tests).
    const std::filesystem::path& TempPath() const { return tempPath_; }
    // The system's code for the last step that failed, 0 when none.
    OsErrorCode LastError() const { return error_; }

private:
    // Writes count zero bytes; for what has no end to move, as a device.
    bool WriteZeros(std::int64_t count);

    NativeHandle handle_ = InputFile::InvalidHandle();
    OsErrorCode error_ = 0;
    std::filesystem::path tempPath_; // removed by Discard while set
    std::filesystem::path destination_;
    bool kernelCopy_ = true; // CopyFrom's, until the system refuses
    bool clone_ = true;      // CloneFrom's, until the file system refuses
    bool unnamed_ = false;   // written with no name (POSIX), named at PutInPlace
#ifdef _WIN32
    void MarkSparse();
    bool sparseTried_ = false;
    std::int64_t cluster_ = -1; // the file system's unit of clones, 0: none; -1 until asked
#else
    int folder_ = -1;                // the destination's folder, for the renames
    bool ownsFolder_ = true;         // false when a run's FolderTemps holds it
    int mode_ = 0600;                // permission bits the finished file takes
    int group_ = -1;                 // the reference's group, -1 when ours
    std::int64_t writebackFrom_ = 0; // what lies before is being written back
#endif
};

} // namespace kst

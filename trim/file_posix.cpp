// SPDX-License-Identifier: MIT
#include "file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/inotify.h>
#endif

namespace kst {
namespace {

constexpr int kClosed = -1;

// Opens without blocking (a FIFO with no writer would hang), then drops
// O_NONBLOCK again for the file's ordinary use.
int OpenNonBlocking(const std::filesystem::path& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd >= 0) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    return fd;
}

bool LockExclusive(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

std::int64_t Nanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

bool ReadStamp(int fd, std::int64_t& size, std::int64_t& time) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return false;
    }
    size = st.st_size;
    time = Nanoseconds(st.st_mtim);
    return true;
}

// A file's time moves with the clock's tick, so a write within the tick of
// the one before can leave it as it was. On Linux a watch on the open file
// reports every write and truncation, by anyone; where none can be had the
// size and time stand alone.
int WatchWrites(int fd) {
#ifdef __linux__
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (watch >= 0 && ::inotify_add_watch(watch, self.c_str(), IN_MODIFY) < 0) {
        ::close(watch);
        return kClosed;
    }
    return watch;
#else
    (void)fd;
    return kClosed;
#endif
}

// Events stay queued (only counted, never read), so a report is not lost.
bool WritesReported(int watch) {
#ifdef __linux__
    int pending = 0;
    return watch != kClosed && ::ioctl(watch, FIONREAD, &pending) == 0 && pending > 0;
#else
    (void)watch;
    return false;
#endif
}

bool IsEmpty(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_size == 0;
}

void CloseQuietly(int& fd) {
    if (fd != kClosed) {
        ::close(fd);
        fd = kClosed;
    }
}

} // namespace

NativeHandle InputFile::InvalidHandle() {
    return kClosed;
}

InputFile::~InputFile() {
    Close();
}

bool InputFile::Open(const std::filesystem::path& path) {
    Close();
    int fd = OpenNonBlocking(path, O_RDONLY);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !LockExclusive(fd)) {
        CloseQuietly(fd);
        return false;
    }
    handle_ = fd;
    writeWatch_ = WatchWrites(fd); // before the stamp: no write falls between
    if (!ReadStamp(fd, openSize_, openTime_)) {
        Close();
        return false;
    }
    return true;
}

bool InputFile::IsOpen() const {
    return handle_ != kClosed;
}

void InputFile::Close() {
    CloseQuietly(handle_);
    CloseQuietly(writeWatch_);
}

std::int64_t InputFile::Size() const {
    struct stat st {};
    return ::fstat(handle_, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

std::int64_t InputFile::ReadAt(std::int64_t pos, std::uint8_t* buffer, std::int64_t length) const {
    std::int64_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(handle_, buffer + done, static_cast<size_t>(length - done),
                                  static_cast<off_t>(pos + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += n;
    }
    return done;
}

bool InputFile::MayHaveHoles() const {
    struct stat st {};
    // Fewer bytes stored than the length: some of it is holes.
    return ::fstat(handle_, &st) == 0 && static_cast<std::int64_t>(st.st_blocks) * 512 < st.st_size;
}

std::int64_t InputFile::DataFrom(std::int64_t pos) const {
#ifdef SEEK_DATA
    const off_t data = ::lseek(handle_, static_cast<off_t>(pos), SEEK_DATA);
    if (data >= 0) {
        return data;
    }
    if (errno == ENXIO) {
        // No data from pos to the end. The length is asked again, so a file
        // that shrank since shows a short read rather than a hole.
        return Size();
    }
#endif
    return pos;
}

bool InputFile::Unchanged() const {
    std::int64_t size = 0;
    std::int64_t time = 0;
    return !WritesReported(writeWatch_) && ReadStamp(handle_, size, time) && size == openSize_ &&
           time == openTime_;
}

OutputFile::~OutputFile() {
    Close();
}

bool OutputFile::Create(const std::filesystem::path& path, const InputFile& input) {
    Close();
    // Opened without truncation first: nothing is emptied until the file is
    // known not to be the input and not held by anyone else.
    int fd = OpenNonBlocking(path, O_WRONLY | O_CREAT);
    struct stat out {};
    struct stat in {};
    if (fd < 0 || ::fstat(fd, &out) != 0 || ::fstat(input.Handle(), &in) != 0 ||
        (out.st_dev == in.st_dev && out.st_ino == in.st_ino) || !LockExclusive(fd)) {
        CloseQuietly(fd);
        return false;
    }
    regular_ = S_ISREG(out.st_mode);
    // A file still empty needs no truncation, which ext4 would take for the
    // replacing of a file's contents and answer with writeback at close.
    if (regular_ && !IsEmpty(fd) && ::ftruncate(fd, 0) != 0) {
        CloseQuietly(fd);
        regular_ = false;
        return false;
    }
    handle_ = fd;
    return true;
}

std::int64_t OutputFile::Write(const std::uint8_t* buffer, std::int64_t length) {
    std::int64_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(handle_, buffer + done, static_cast<size_t>(length - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += n;
    }
    return done;
}

namespace {

// The most one round through the kernel copy's pipe moves: a pipe of the
// default 64 KiB costs a round trip through the file system's write path
// per 64 KiB (copy_file_range's own pipe on file systems that cannot clone,
// slower than a plain read and write), a pipe of 1 MiB one per MiB.
constexpr std::int64_t kPipeBytes = std::int64_t{1} << 20;

bool OpenPipe([[maybe_unused]] int (&fds)[2]) {
#ifdef __linux__
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    ::fcntl(fds[1], F_SETPIPE_SZ, static_cast<int>(kPipeBytes)); // else the default size
    return true;
#else
    return false;
#endif
}

struct Round {
    std::int64_t entered = 0; // bytes spliced from the input into the pipe
    std::int64_t stored = 0;  // of those, bytes spliced on into the output
};

// Up to length bytes from in at pos into the pipe, and from there into out at
// its position. Pages of the input are passed by reference, not copied.
Round SpliceRound([[maybe_unused]] int in, [[maybe_unused]] std::int64_t pos,
                  [[maybe_unused]] std::int64_t length, [[maybe_unused]] const int (&fds)[2],
                  [[maybe_unused]] int out) {
    Round round;
#ifdef __linux__
    loff_t from = pos;
    ssize_t n = 0;
    do {
        n = ::splice(in, &from, fds[1], nullptr, static_cast<size_t>(length), SPLICE_F_MOVE);
    } while (n < 0 && errno == EINTR);
    round.entered = std::max<ssize_t>(n, 0);
    while (round.stored < round.entered) {
        n = ::splice(fds[0], nullptr, out, nullptr,
                     static_cast<size_t>(round.entered - round.stored), SPLICE_F_MOVE);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        round.stored += n;
    }
#endif
    return round;
}

} // namespace

std::int64_t OutputFile::CopyFrom(const InputFile& input, std::int64_t pos, std::int64_t length) {
    std::int64_t done = 0;
    if (kernelCopy_ && pipe_[0] == kClosed && !OpenPipe(pipe_)) {
        kernelCopy_ = false;
    }
    while (kernelCopy_ && done < length) {
        const Round round = SpliceRound(input.Handle(), pos + done,
                                        std::min(length - done, kPipeBytes), pipe_, handle_);
        done += round.stored;
        // Refused (no splice here, not a regular file), failed (full, too
        // large) or the input ended: the buffered path that takes over tells
        // which. Bytes still in the pipe go with it.
        if (round.entered == 0 || round.stored < round.entered) {
            kernelCopy_ = false;
            CloseQuietly(pipe_[0]);
            CloseQuietly(pipe_[1]);
        }
    }
    return done;
}

bool OutputFile::Close() {
    CloseQuietly(pipe_[0]);
    CloseQuietly(pipe_[1]);
    if (handle_ == kClosed) {
        return true;
    }
    const bool ok = ::close(handle_) == 0;
    handle_ = kClosed;
    return ok;
}

} // namespace kst

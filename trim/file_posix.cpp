// SPDX-License-Identifier: MIT
#include "file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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
    return true;
}

bool InputFile::IsOpen() const {
    return handle_ != kClosed;
}

void InputFile::Close() {
    CloseQuietly(handle_);
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
    if (regular_ && ::ftruncate(fd, 0) != 0) {
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

bool OutputFile::Close() {
    if (handle_ == kClosed) {
        return true;
    }
    const bool ok = ::close(handle_) == 0;
    handle_ = kClosed;
    return ok;
}

} // namespace kst

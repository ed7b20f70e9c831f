// SPDX-License-Identifier: MIT
#include "scratch.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <system_error>
#include <unistd.h>

namespace bench {
namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void PwriteAll(int fd, const std::uint8_t* data, std::int64_t length, std::int64_t at,
               const std::filesystem::path& path) {
    while (length > 0) {
        const ssize_t n = ::pwrite(fd, data, static_cast<size_t>(length), static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            Fail("write " + path.string());
        }
        data += n;
        at += n;
        length -= n;
    }
}

// Fills buffer with bytes of the chunk, reading until it is full or at the end.
std::int64_t ReadFull(int fd, std::vector<std::uint8_t>& buffer, std::int64_t at) {
    std::int64_t done = 0;
    const auto want = static_cast<std::int64_t>(buffer.size());
    while (done < want) {
        const ssize_t n = ::pread(fd, buffer.data() + done, static_cast<size_t>(want - done),
                                  static_cast<off_t>(at + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            Fail("read");
        }
        if (n == 0) {
            break;
        }
        done += n;
    }
    return done;
}

} // namespace

Fd::Fd(const std::filesystem::path& path, int flags) : fd_(::open(path.c_str(), flags, 0644)) {
    if (fd_ < 0) {
        Fail("open " + path.string());
    }
}

Fd::~Fd() {
    ::close(fd_);
}

ScratchFile::ScratchFile(const std::filesystem::path& folder, const char* name, std::int64_t size)
    : path_(folder / name), size_(size) {
    const Fd fd(path_, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC);
    if (::ftruncate(fd.Get(), static_cast<off_t>(size)) != 0) {
        Fail("truncate " + path_.string());
    }
}

ScratchFile::~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

void ScratchFile::WriteZeros(std::int64_t from, std::int64_t length, std::int64_t piece) const {
    WriteBlocks(from, length, piece, false);
}

void ScratchFile::WriteRandom(std::int64_t from, std::int64_t length) const {
    WriteBlocks(from, length, kPiece, true);
}

void ScratchFile::WriteBlocks(std::int64_t from, std::int64_t length, std::int64_t piece,
                              bool random) const {
    const Fd fd(path_, O_WRONLY | O_CLOEXEC);
    const std::vector<std::uint8_t> block =
        random ? RandomBytes(piece, static_cast<std::uint64_t>(from) + 1)
               : std::vector<std::uint8_t>(static_cast<std::size_t>(piece), 0);
    for (std::int64_t done = 0; done < length; done += piece) {
        const std::int64_t n = std::min(piece, length - done);
        PwriteAll(fd.Get(), block.data(), n, from + done, path_);
    }
}

void ScratchFile::PutByte(std::int64_t at, std::uint8_t value) const {
    const Fd fd(path_, O_WRONLY | O_CLOEXEC);
    PwriteAll(fd.Get(), &value, 1, at, path_);
}

void ScratchFile::Sync() const {
    const Fd fd(path_, O_RDONLY | O_CLOEXEC);
    if (::fsync(fd.Get()) != 0) {
        Fail("sync " + path_.string());
    }
}

void ScratchFile::Evict() const {
    const Fd fd(path_, O_RDONLY | O_CLOEXEC);
    ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_DONTNEED);
}

void ReadWhole(const std::filesystem::path& path, std::int64_t chunk) {
    const Fd fd(path, O_RDONLY | O_CLOEXEC);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(chunk));
    for (std::int64_t at = 0;; at += chunk) {
        if (ReadFull(fd.Get(), buffer, at) < chunk) {
            return;
        }
    }
}

double CopyPlain(const std::filesystem::path& from, const std::filesystem::path& to,
                 std::int64_t chunk) {
    const Fd in(from, O_RDONLY | O_CLOEXEC);
    const Fd out(to, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(chunk));
    for (std::int64_t at = 0;; at += chunk) {
        const std::int64_t n = ReadFull(in.Get(), buffer, at);
        PwriteAll(out.Get(), buffer.data(), n, at, to);
        if (n < chunk) {
            break;
        }
    }
    const auto start = std::chrono::steady_clock::now();
    if (::fdatasync(out.Get()) != 0) {
        Fail("flush " + to.string());
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::int64_t FreeBytes(const std::filesystem::path& folder) {
    struct statvfs st {};
    if (::statvfs(folder.c_str(), &st) != 0) {
        Fail("statvfs " + folder.string());
    }
    return static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize);
}

std::vector<std::uint8_t> RandomBytes(std::int64_t length, std::uint64_t seed) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    std::uint64_t x = seed * 0x9E3779B97F4A7C15u + 1;
    for (auto& b : bytes) {
        // xorshift64; | 1 keeps every byte non-zero.
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        b = static_cast<std::uint8_t>(x | 1);
    }
    return bytes;
}

} // namespace bench

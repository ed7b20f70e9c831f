// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace bench {

inline constexpr std::int64_t kMiB = std::int64_t{1} << 20;
inline constexpr std::int64_t kGiB = std::int64_t{1} << 30;

// A file descriptor closed on scope exit; throws std::system_error when the
// open fails.
class Fd {
public:
    Fd(const std::filesystem::path& path, int flags);
    ~Fd();
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

// A file in the benchmark's folder, removed (with its page cache) on scope
// exit. Created sparse at the given size; data is written into it on demand.
class ScratchFile {
public:
    ScratchFile(const std::filesystem::path& folder, const char* name, std::int64_t size);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::int64_t Size() const { return size_; }

    // Stores real zero bytes, so the range is data, not a hole; written in
    // pieces of the given size, which shape how the page cache holds them.
    void WriteZeros(std::int64_t from, std::int64_t length, std::int64_t piece = kPiece) const;
    void WriteRandom(std::int64_t from, std::int64_t length) const;
    void PutByte(std::int64_t at, std::uint8_t value) const;
    // Writes the dirty pages back so no writeback runs during a measurement.
    void Sync() const;
    // Drops the file's clean pages from the page cache, holes read as zeros
    // included.
    void Evict() const;

private:
    static constexpr std::int64_t kPiece = 8 * kMiB;
    void WriteBlocks(std::int64_t from, std::int64_t length, std::int64_t piece, bool random) const;

    std::filesystem::path path_;
    std::int64_t size_;
};

// pread of the whole file in chunks of the given size, no test: the baseline
// every read-side case is compared with. Also warms the page cache.
void ReadWhole(const std::filesystem::path& path, std::int64_t chunk);

// Plain read/write loop in chunks of the given size, its data flushed to the
// disk (fdatasync) before the close: the copy's baseline. Returns the
// seconds the flush took on the wall clock.
double CopyPlain(const std::filesystem::path& from, const std::filesystem::path& to,
                 std::int64_t chunk);

// Bytes free for an unprivileged user in the folder's file system.
std::int64_t FreeBytes(const std::filesystem::path& folder);

// A buffer of bytes that are never 0, from a fixed seed.
std::vector<std::uint8_t> RandomBytes(std::int64_t length, std::uint64_t seed);

} // namespace bench

// SPDX-License-Identifier: MIT
#pragma once

#include "joberror.h"
#include "messages.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the system temp folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path Write(const std::string& name, const Bytes& bytes) const;

private:
    std::filesystem::path path_;
};

Bytes ReadAll(const std::filesystem::path& path);
std::string Utf8(const std::filesystem::path& path);

// Stores bytes at pos in an existing file, extending it if need be.
void WriteAt(const std::filesystem::path& path, std::int64_t pos, const Bytes& bytes);

// size bytes of value fill with the given offsets set to a non-fill byte.
Bytes Filled(std::size_t size, const std::vector<std::size_t>& marks, std::uint8_t fill = 0);

// The trim a plain loop gives: bytes between the leading and trailing runs of
// fill; leading only when asked.
struct Trim {
    std::int64_t fzero = -1; // -1: no other byte
    std::int64_t mzero = -1;
};
Trim ReferenceTrim(const Bytes& bytes, std::uint8_t fill = 0);

// What a trim writes: pad zero bytes, then bytes [fzero, size - mzero).
Bytes TrimmedCopy(const Bytes& bytes, std::int64_t fzero, std::int64_t mzero, std::int64_t pad = 0);

// The job's own texts about path, built from its message patterns.
std::string OpenFailed(const std::filesystem::path& path);
std::string CreateFailed(const std::filesystem::path& path);
std::string WriteFailed(const std::filesystem::path& path);
std::string InputChanged(const std::filesystem::path& path);
// The log's first line: the input's name and size.
std::string SizeLine(const std::filesystem::path& path, std::int64_t size);

// The copy's temporary files in folder: present only while a copy runs, or
// left by a job that died.
std::vector<std::filesystem::path> TempFilesIn(const std::filesystem::path& folder);

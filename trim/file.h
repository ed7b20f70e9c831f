// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>

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

    bool Open(const std::filesystem::path& path);
    bool IsOpen() const;
    void Close();

    // Length in bytes, -1 when it cannot be read.
    std::int64_t Size() const;
    // Reads up to length bytes at pos; returns the count read (short only at
    // the end of the file) or -1 on failure.
    std::int64_t ReadAt(std::int64_t pos, std::uint8_t* buffer, std::int64_t length) const;
    // True when the file may hold holes, ranges that read as zeros without
    // being stored; DataFrom is worth asking only then.
    bool MayHaveHoles() const;
    // Offset of the first byte at or after pos that may be stored data: pos
    // when pos lies in data or the system cannot tell, Size() when only holes
    // follow. On POSIX it moves the file position, which ReadAt does not use.
    std::int64_t DataFrom(std::int64_t pos) const;
    // False once the file's size or modification time differs from those at
    // Open: another process has written to it since.
    bool Unchanged() const;

    NativeHandle Handle() const { return handle_; }

private:
    NativeHandle handle_ = InvalidHandle();
    // Size and modification time at Open, the time in the platform's units.
    std::int64_t openSize_ = -1;
    std::int64_t openTime_ = 0;
#ifndef _WIN32
    int writeWatch_ = -1; // reports writes by others where the system can
#endif
    static NativeHandle InvalidHandle();
    friend class OutputFile;
};

// The output, created (or an existing file of the name replaced) without
// sharing. Create refuses a path that resolves to the input itself and
// touches nothing in that case.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Create(const std::filesystem::path& path, const InputFile& input);
    // Writes all of buffer; returns the count stored, less on failure.
    std::int64_t Write(const std::uint8_t* buffer, std::int64_t length);
    // Appends length bytes of input from pos inside the kernel where the
    // platform can (on Linux through a pipe, input pages passed by
    // reference: no pass through user space); returns the count copied.
    // It stops short, and is not tried again, the first time the kernel
    // refuses or fails: the caller moves the rest through its own buffer,
    // whose read and write then report any real failure.
    std::int64_t CopyFrom(const InputFile& input, std::int64_t pos, std::int64_t length);
    // Releases the file; false when the system reports the data not stored.
    bool Close();
    // True when the output is a regular file this object emptied or made,
    // i.e. one that may be removed if the copy fails.
    bool IsRegular() const { return regular_; }

private:
    NativeHandle handle_ = InputFile::InvalidHandle();
    bool regular_ = false;
    bool kernelCopy_ = true;
#ifndef _WIN32
    int pipe_[2] = {-1, -1}; // CopyFrom's, made at its first use
#endif
};

} // namespace kst

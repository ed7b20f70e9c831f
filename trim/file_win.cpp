// SPDX-License-Identifier: MIT
#include "file.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <string>

namespace kst {
namespace {

// ReadFile and WriteFile take 32-bit counts.
constexpr std::int64_t kMaxIo = 1 << 30;

void CloseQuietly(HANDLE& h) {
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
    }
}

bool SameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION x{};
    BY_HANDLE_FILE_INFORMATION y{};
    if (!::GetFileInformationByHandle(a, &x) || !::GetFileInformationByHandle(b, &y)) {
        return true; // cannot tell: refuse rather than risk the input
    }
    return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

bool IsRegularDiskFile(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileType(h) == FILE_TYPE_DISK && ::GetFileInformationByHandle(h, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool ReadStamp(HANDLE h, std::int64_t& size, std::int64_t& time) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) {
        return false;
    }
    size = static_cast<std::int64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    time = static_cast<std::int64_t>(info.ftLastWriteTime.dwHighDateTime) << 32 |
           info.ftLastWriteTime.dwLowDateTime;
    return true;
}

bool SeekTo(HANDLE h, std::int64_t pos) {
    LARGE_INTEGER to{};
    to.QuadPart = pos;
    return ::SetFilePointerEx(h, to, nullptr, FILE_BEGIN) != 0;
}

// Paths past MAX_PATH open only in the "\\?\" form, which takes a full path
// with no "." or ".." parts; shorter paths are passed as they stand.
std::wstring OpenablePath(const std::filesystem::path& path) {
    const std::wstring& given = path.native();
    constexpr std::size_t kLimit = MAX_PATH - 12; // leaves room for a file name in a folder
    if (given.size() < kLimit || given.rfind(LR"(\\?\)", 0) == 0) {
        return given;
    }
    const DWORD needed = ::GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return given;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(given.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        return given;
    }
    full.resize(length);
    if (full.rfind(LR"(\\)", 0) == 0) {
        return LR"(\\?\UNC\)" + full.substr(2);
    }
    return LR"(\\?\)" + full;
}

} // namespace

NativeHandle InputFile::InvalidHandle() {
    return INVALID_HANDLE_VALUE;
}

InputFile::~InputFile() {
    Close();
}

bool InputFile::Open(const std::filesystem::path& path) {
    Close();
    HANDLE h = ::CreateFileW(OpenablePath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    if (!IsRegularDiskFile(h) || !ReadStamp(h, openSize_, openTime_)) {
        CloseQuietly(h);
        return false;
    }
    handle_ = h;
    return true;
}

bool InputFile::IsOpen() const {
    return handle_ != INVALID_HANDLE_VALUE;
}

void InputFile::Close() {
    CloseQuietly(handle_);
}

std::int64_t InputFile::Size() const {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(handle_, &size) ? size.QuadPart : -1;
}

std::int64_t InputFile::ReadAt(std::int64_t pos, std::uint8_t* buffer, std::int64_t length) const {
    if (!SeekTo(handle_, pos)) {
        return -1;
    }
    std::int64_t done = 0;
    while (done < length) {
        const DWORD want = static_cast<DWORD>(std::min(length - done, kMaxIo));
        DWORD got = 0;
        if (!::ReadFile(handle_, buffer + done, want, &got, nullptr)) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

bool InputFile::MayHaveHoles() const {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileInformationByHandle(handle_, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_SPARSE_FILE) != 0;
}

// The first allocated range at or after pos; only a sparse file has others.
std::int64_t InputFile::DataFrom(std::int64_t pos) const {
    const std::int64_t size = Size();
    if (pos >= size) {
        return size;
    }
    FILE_ALLOCATED_RANGE_BUFFER query{};
    query.FileOffset.QuadPart = pos;
    query.Length.QuadPart = size - pos;
    FILE_ALLOCATED_RANGE_BUFFER first{};
    DWORD got = 0;
    // ERROR_MORE_DATA: more ranges follow the first, which is all we need.
    if (!::DeviceIoControl(handle_, FSCTL_QUERY_ALLOCATED_RANGES, &query, sizeof query, &first,
                           sizeof first, &got, nullptr) &&
        ::GetLastError() != ERROR_MORE_DATA) {
        return pos;
    }
    return got < sizeof first ? size : std::max(pos, first.FileOffset.QuadPart);
}

// Share mode 0 keeps other writers out; the stamp keeps the rule the same
// on both platforms.
bool InputFile::Unchanged() const {
    std::int64_t size = 0;
    std::int64_t time = 0;
    return ReadStamp(handle_, size, time) && size == openSize_ && time == openTime_;
}

OutputFile::~OutputFile() {
    Close();
}

bool OutputFile::Create(const std::filesystem::path& path, const InputFile& input) {
    Close();
    // OPEN_ALWAYS keeps an existing file's bytes until it is known not to be
    // the input; share mode 0 fails at once if anyone else holds it.
    HANDLE h = ::CreateFileW(OpenablePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    // The input is a disk file, so only a disk file can be it; a device such
    // as NUL has no file identity to compare.
    if (::GetFileType(h) == FILE_TYPE_DISK && SameFile(h, input.Handle())) {
        CloseQuietly(h);
        return false;
    }
    regular_ = IsRegularDiskFile(h);
    if (regular_ && (!SeekTo(h, 0) || !::SetEndOfFile(h))) {
        CloseQuietly(h);
        regular_ = false;
        return false;
    }
    handle_ = h;
    return true;
}

std::int64_t OutputFile::Write(const std::uint8_t* buffer, std::int64_t length) {
    std::int64_t done = 0;
    while (done < length) {
        const DWORD want = static_cast<DWORD>(std::min(length - done, kMaxIo));
        DWORD put = 0;
        // Both the result and the count matter: a call may succeed short.
        if (!::WriteFile(handle_, buffer + done, want, &put, nullptr) || put == 0) {
            break;
        }
        done += put;
    }
    return done;
}

// No ranged copy inside the system here: the caller's buffer does it all.
std::int64_t OutputFile::CopyFrom(const InputFile&, std::int64_t, std::int64_t) {
    kernelCopy_ = false;
    return 0;
}

bool OutputFile::Close() {
    if (handle_ == INVALID_HANDLE_VALUE) {
        return true;
    }
    const bool ok = ::CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return ok;
}

} // namespace kst

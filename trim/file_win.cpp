// SPDX-License-Identifier: MIT
#include "file.h"

#include "tempname.h"

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

bool IsReparsePoint(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    return !::GetFileInformationByHandle(h, &info) ||
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
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

bool InputFile::Open(const std::filesystem::path& path, Watch, Links links) {
    Close();
    // Refusing links, the name's own reparse point is opened, never its target.
    const DWORD flags =
        links == Links::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : FILE_ATTRIBUTE_NORMAL;
    HANDLE h = ::CreateFileW(OpenablePath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error_ = static_cast<OsErrorCode>(::GetLastError());
        return false;
    }
    if (!IsRegularDiskFile(h) || (links == Links::Refuse && IsReparsePoint(h)) ||
        !ReadStamp(h, openSize_, openTime_)) {
        error_ = 0; // a device, a link or the like: the system saw nothing wrong
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

// Each read names its offset in an OVERLAPPED record, so reads from two
// threads never depend on the handle's one shared file pointer.
std::int64_t InputFile::ReadAt(std::int64_t pos, std::uint8_t* buffer, std::int64_t length) const {
    std::int64_t done = 0;
    while (done < length) {
        const DWORD want = static_cast<DWORD>(std::min(length - done, kMaxIo));
        const std::uint64_t at = static_cast<std::uint64_t>(pos + done);
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(at);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD got = 0;
        if (!::ReadFile(handle_, buffer + done, want, &got, &where)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_HANDLE_EOF) {
                break;
            }
            error_.store(static_cast<OsErrorCode>(error), std::memory_order_relaxed);
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

// There is no read that refuses to wait; the caller reads in full instead.
std::int64_t InputFile::ReadCachedAt(std::int64_t /*pos*/, std::uint8_t* /*buffer*/,
                                     std::int64_t /*length*/) const {
    return 0;
}

// The cache manager reads ahead only forwards and takes no hint for other
// ranges short of reads of its own, so there is nothing to ask for here.
void InputFile::Prefetch(std::int64_t /*pos*/, std::int64_t /*length*/) const {}

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
    Discard();
}

namespace {

constexpr DWORD kNoAttributes = INVALID_FILE_ATTRIBUTES;

std::uint64_t ThisProcess() {
    return ::GetCurrentProcessId();
}

bool ProcessAlive(std::int64_t pid) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) {
        return ::GetLastError() == ERROR_ACCESS_DENIED; // someone else's, running
    }
    const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return running;
}

std::filesystem::path FolderOf(const std::filesystem::path& destination) {
    return destination.has_parent_path() ? destination.parent_path() : std::filesystem::path(L".");
}

// Temporary files of this destination whose job died. One still being
// written is held without sharing, so its removal fails anyway.
void RemoveStaleTemps(const std::filesystem::path& destination) {
    const std::filesystem::path finalName = destination.filename();
    const std::wstring pattern =
        OpenablePath(FolderOf(destination) / TempNamePrefix(finalName)) + L"*";
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::int64_t pid = TempNameProcess(finalName, found.cFileName);
        const bool plainFile = (found.dwFileAttributes &
                                (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
        if (pid >= 0 && plainFile && !ProcessAlive(pid)) {
            ::DeleteFileW(OpenablePath(FolderOf(destination) / found.cFileName).c_str());
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

// The file at the destination, opened as writing into it would have opened
// it; INVALID_HANDLE_VALUE with the reason in GetLastError otherwise.
HANDLE OpenExisting(const std::filesystem::path& destination) {
    return ::CreateFileW(OpenablePath(destination).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                         nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

HANDLE CreateTemp(const std::filesystem::path& destination, std::filesystem::path& tempPath) {
    constexpr int kTries = 8;
    for (int i = 0; i < kTries; ++i) {
        tempPath = FolderOf(destination) /
                   TempName(destination.filename(), ThisProcess(), NextTempToken());
        HANDLE h = ::CreateFileW(OpenablePath(tempPath).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                 nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) {
            return h;
        }
    }
    return INVALID_HANDLE_VALUE;
}

} // namespace

// The temporary file is held without sharing until it is renamed: no one
// else opens it meanwhile. The finished file takes its folder's access rules.
CreateResult OutputFile::Create(const std::filesystem::path& destination, const InputFile& input,
                                SpecialDestination special) {
    Discard();
    const auto failed = [this](DWORD error) {
        error_ = static_cast<OsErrorCode>(error);
        return CreateResult::Failed;
    };
    destination_ = destination;
    const DWORD attributes = ::GetFileAttributesW(OpenablePath(destination).c_str());
    const bool link = attributes != kNoAttributes && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (attributes != kNoAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY) && !link) {
        return failed(ERROR_DIRECTORY);
    }
    if (!link) {
        // An existing file must be one we could have written: not held by
        // anyone, not read-only, not the input. A device such as NUL has no
        // file identity and is written in place.
        HANDLE h = OpenExisting(destination);
        if (h == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_NOT_FOUND &&
            ::GetLastError() != ERROR_PATH_NOT_FOUND) {
            return failed(::GetLastError());
        }
        if (h != INVALID_HANDLE_VALUE && ::GetFileType(h) != FILE_TYPE_DISK) {
            if (special == SpecialDestination::Replace) {
                CloseQuietly(h);
                return CreateResult::Failed; // a device name cannot be replaced
            }
            handle_ = h;
            return CreateResult::Created;
        }
        if (h != INVALID_HANDLE_VALUE) {
            const bool same = SameFile(h, input.Handle());
            CloseQuietly(h);
            if (same) {
                return CreateResult::SameFile;
            }
        }
    }
    RemoveStaleTemps(destination);
    HANDLE h = CreateTemp(destination, tempPath_);
    if (h == INVALID_HANDLE_VALUE) {
        tempPath_.clear();
        return failed(::GetLastError());
    }
    handle_ = h;
    return CreateResult::Created;
}

bool OutputFile::Commit() {
    if (tempPath_.empty()) {
        const bool ok = handle_ == INVALID_HANDLE_VALUE || ::CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }
    if (!::FlushFileBuffers(handle_)) {
        error_ = static_cast<OsErrorCode>(::GetLastError());
        return false;
    }
    if (!CommitProbePasses()) {
        error_ = ERROR_WRITE_FAULT; // the probe stands for a flush that failed
        return false;
    }
    // Closed first: a file held without sharing cannot be renamed. A job
    // that meets it now leaves it alone, its process being alive.
    CloseQuietly(handle_);
    if (!::MoveFileExW(OpenablePath(tempPath_).c_str(), OpenablePath(destination_).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error_ = static_cast<OsErrorCode>(::GetLastError());
        return false;
    }
    tempPath_.clear();
    return true;
}

void OutputFile::Discard() {
    CloseQuietly(handle_);
    if (!tempPath_.empty()) {
        ::DeleteFileW(OpenablePath(tempPath_).c_str());
        tempPath_.clear();
    }
    kernelCopy_ = true;
    sparseTried_ = false;
}

std::int64_t OutputFile::Write(const std::uint8_t* buffer, std::int64_t length) {
    std::int64_t done = 0;
    while (done < length) {
        const DWORD want = static_cast<DWORD>(std::min(length - done, kMaxIo));
        DWORD put = 0;
        // Both the result and the count matter: a call may succeed short.
        if (!::WriteFile(handle_, buffer + done, want, &put, nullptr)) {
            error_ = static_cast<OsErrorCode>(::GetLastError());
            break;
        }
        if (put == 0) {
            error_ = ERROR_WRITE_FAULT;
            break;
        }
        done += put;
    }
    return done;
}

bool OutputFile::AppendZeros(std::int64_t count) {
    if (!sparseTried_) {
        sparseTried_ = true;
        DWORD returned = 0;
        ::DeviceIoControl(handle_, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    }
    LARGE_INTEGER move{};
    move.QuadPart = count;
    if (count < 0 || !::SetFilePointerEx(handle_, move, nullptr, FILE_CURRENT) ||
        !::SetEndOfFile(handle_)) {
        error_ = static_cast<OsErrorCode>(::GetLastError());
        return false;
    }
    return true;
}

bool OutputFile::CanHold(std::int64_t size) {
    LARGE_INTEGER at{};
    LARGE_INTEGER zero{};
    LARGE_INTEGER end{};
    end.QuadPart = size;
    if (size < 0 || !::SetFilePointerEx(handle_, zero, &at, FILE_CURRENT) || at.QuadPart != 0) {
        return false;
    }
    const bool held =
        ::SetFilePointerEx(handle_, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(handle_);
    ::SetFilePointerEx(handle_, zero, nullptr, FILE_BEGIN);
    ::SetEndOfFile(handle_);
    return held;
}

// The cache manager's lazy writer writes behind on its own.
void OutputFile::StartWriteback() {}

// No ranged copy inside the system here: the caller's buffer does it all.
std::int64_t OutputFile::CopyFrom(const InputFile&, std::int64_t, std::int64_t) {
    kernelCopy_ = false;
    return 0;
}

} // namespace kst

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
#include <vector>

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

void InputFile::ReleaseBatchWatches() {}

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

namespace {

// The first allocated range of the file at or after pos, below size; false
// when none follows or the system cannot tell (unknown set).
bool FirstAllocatedRange(HANDLE h, std::int64_t pos, std::int64_t size,
                         FILE_ALLOCATED_RANGE_BUFFER& first, bool& unknown) {
    FILE_ALLOCATED_RANGE_BUFFER query{};
    query.FileOffset.QuadPart = pos;
    query.Length.QuadPart = size - pos;
    DWORD got = 0;
    // ERROR_MORE_DATA: more ranges follow the first, which is all we need.
    unknown = !::DeviceIoControl(h, FSCTL_QUERY_ALLOCATED_RANGES, &query, sizeof query, &first,
                                 sizeof first, &got, nullptr) &&
              ::GetLastError() != ERROR_MORE_DATA;
    return !unknown && got >= sizeof first;
}

} // namespace

// The first allocated range at or after pos; only a sparse file has others.
std::int64_t InputFile::DataFrom(std::int64_t pos) const {
    const std::int64_t size = Size();
    if (pos >= size) {
        return size;
    }
    FILE_ALLOCATED_RANGE_BUFFER first{};
    bool unknown = false;
    if (!FirstAllocatedRange(handle_, pos, size, first, unknown)) {
        return unknown ? pos : size;
    }
    return std::max(pos, first.FileOffset.QuadPart);
}

std::int64_t InputFile::HoleFrom(std::int64_t pos) const {
    const std::int64_t size = Size();
    if (pos >= size || !MayHaveHoles()) {
        return size;
    }
    FILE_ALLOCATED_RANGE_BUFFER first{};
    bool unknown = false;
    if (!FirstAllocatedRange(handle_, pos, size, first, unknown)) {
        return unknown ? size : pos;
    }
    if (first.FileOffset.QuadPart > pos) {
        return pos;
    }
    return std::min(size, first.FileOffset.QuadPart + first.Length.QuadPart);
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

// The names in the folder that have the form of temporary names.
std::vector<std::filesystem::path> ListTemps(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(OpenablePath(folder / L"*.part").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const bool plainFile = (found.dwFileAttributes &
                                (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
        if (plainFile && IsTempName(found.cFileName)) {
            names.emplace_back(found.cFileName);
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return names;
}

// Temporary files of this destination whose job died, taken out of names.
// One still being written is held without sharing, so its removal fails
// anyway.
void RemoveStaleTemps(const std::filesystem::path& destination,
                      std::vector<std::filesystem::path>& names) {
    const std::filesystem::path finalName = destination.filename();
    std::erase_if(names, [&](const std::filesystem::path& name) {
        const std::int64_t pid = TempNameProcess(finalName, name);
        if (pid < 0) {
            return false;
        }
        if (!ProcessAlive(pid)) {
            ::DeleteFileW(OpenablePath(FolderOf(destination) / name).c_str());
        }
        return true;
    });
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

// Handles have no small limit per process.
std::int64_t RaiseOpenFileLimit(std::int64_t wanted) {
    return wanted;
}

FolderTemps::~FolderTemps() = default;

void FolderTemps::CloseFolders() {}

std::vector<std::filesystem::path>& FolderTemps::In(const std::filesystem::path& folder) {
    std::error_code error;
    const std::filesystem::path key = std::filesystem::absolute(folder, error).lexically_normal();
    const auto [entry, added] = folders_.try_emplace(key);
    if (added) {
        entry->second = ListTemps(folder);
    }
    return entry->second;
}

// The temporary file is held without sharing until it is renamed: no one
// else opens it meanwhile. The finished file takes its folder's access rules.
CreateResult OutputFile::Create(const std::filesystem::path& destination, const InputFile& input,
                                SpecialDestination special, FolderTemps* temps, Waiting) {
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
    if (temps != nullptr) {
        RemoveStaleTemps(destination, temps->In(FolderOf(destination)));
    } else {
        std::vector<std::filesystem::path> names = ListTemps(FolderOf(destination));
        RemoveStaleTemps(destination, names);
    }
    HANDLE h = CreateTemp(destination, tempPath_);
    if (h == INVALID_HANDLE_VALUE) {
        tempPath_.clear();
        return failed(::GetLastError());
    }
    handle_ = h;
    return CreateResult::Created;
}

bool OutputFile::Flush() {
    if (!::FlushFileBuffers(handle_)) {
        error_ = static_cast<OsErrorCode>(::GetLastError());
        return false;
    }
    if (!CommitProbePasses()) {
        error_ = ERROR_WRITE_FAULT; // the probe stands for a flush that failed
        return false;
    }
    return true;
}

// Windows has no flush of a whole volume for a program without rights over
// it: each file is flushed on its own.
std::vector<bool> OutputFile::FlushTogether(std::span<OutputFile* const> outputs) {
    std::vector<bool> flushed;
    for (OutputFile* out : outputs) {
        flushed.push_back(out->Flush());
    }
    return flushed;
}

// Closed first: a file held without sharing cannot be renamed. A job that
// meets it now leaves it alone, its process being alive.
bool OutputFile::PutInPlace() {
    CloseQuietly(handle_);
    if (!::MoveFileExW(OpenablePath(tempPath_).c_str(), OpenablePath(destination_).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error_ = static_cast<OsErrorCode>(::GetLastError());
        return false;
    }
    tempPath_.clear();
    return true;
}

// The rename wrote its folder entry through already.
void OutputFile::SyncFolder() {}

bool OutputFile::Commit() {
    if (tempPath_.empty()) {
        const bool ok = handle_ == INVALID_HANDLE_VALUE || ::CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }
    return Flush() && PutInPlace();
}

void OutputFile::Discard() {
    CloseQuietly(handle_);
    if (!tempPath_.empty()) {
        ::DeleteFileW(OpenablePath(tempPath_).c_str());
        tempPath_.clear();
    }
    kernelCopy_ = true;
    clone_ = true;
    sparseTried_ = false;
    cluster_ = -1;
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

void OutputFile::MarkSparse() {
    if (!sparseTried_) {
        sparseTried_ = true;
        DWORD returned = 0;
        ::DeviceIoControl(handle_, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    }
}

bool OutputFile::AppendZeros(std::int64_t count) {
    if (count < 0) {
        return false;
    }
    if (::GetFileType(handle_) != FILE_TYPE_DISK) {
        return WriteZeros(count); // a device: no end to move
    }
    MarkSparse();
    LARGE_INTEGER move{};
    move.QuadPart = count;
    if (!::SetFilePointerEx(handle_, move, nullptr, FILE_CURRENT) || !::SetEndOfFile(handle_)) {
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

namespace {

// Not in every SDK's headers: block cloning, and the cluster size it works in.
constexpr DWORD kDuplicateExtentsToFile =
    CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 209, METHOD_BUFFERED, FILE_WRITE_DATA);
constexpr DWORD kGetIntegrityInformation =
    CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 159, METHOD_BUFFERED, FILE_ANY_ACCESS);

struct DuplicateExtentsData {
    HANDLE fileHandle;
    LARGE_INTEGER sourceFileOffset;
    LARGE_INTEGER targetFileOffset;
    LARGE_INTEGER byteCount;
};

struct IntegrityInformation {
    WORD checksumAlgorithm;
    WORD reserved;
    DWORD flags;
    DWORD checksumChunkSizeInBytes;
    DWORD clusterSizeInBytes;
};

// The cluster size of a file system that clones (ReFS, Dev Drives), else 0.
std::int64_t CloneCluster(HANDLE h) {
    IntegrityInformation info{};
    DWORD got = 0;
    if (!::DeviceIoControl(h, kGetIntegrityInformation, nullptr, 0, &info, sizeof info, &got,
                           nullptr) ||
        got < sizeof info || info.clusterSizeInBytes == 0 ||
        kCloneGrain % info.clusterSizeInBytes != 0) {
        return 0;
    }
    return info.clusterSizeInBytes;
}

bool MoveEnd(HANDLE h, std::int64_t to) {
    LARGE_INTEGER at{};
    at.QuadPart = to;
    return ::SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && ::SetEndOfFile(h);
}

} // namespace

std::int64_t OutputFile::CloneFrom(const InputFile& input, std::int64_t pos, std::int64_t length) {
    if (cluster_ < 0) {
        cluster_ = CloneCluster(handle_);
        clone_ = cluster_ > 0;
    }
    const std::int64_t whole = length / kCloneGrain * kCloneGrain;
    LARGE_INTEGER zero{};
    LARGE_INTEGER end{};
    if (!clone_ || whole == 0 || pos % kCloneGrain != 0 ||
        !::SetFilePointerEx(handle_, zero, &end, FILE_CURRENT) || end.QuadPart % cluster_ != 0) {
        return 0;
    }
    if (input.MayHaveHoles()) {
        MarkSparse(); // the system clones from a sparse file only into one
    }
    // The target range must lie inside the file before extents come into it.
    DuplicateExtentsData extents{input.Handle(), {}, end, {}};
    extents.sourceFileOffset.QuadPart = pos;
    extents.byteCount.QuadPart = whole;
    DWORD returned = 0;
    if (!MoveEnd(handle_, end.QuadPart + whole) ||
        !::DeviceIoControl(handle_, kDuplicateExtentsToFile, &extents, sizeof extents, nullptr, 0,
                           &returned, nullptr)) {
        clone_ = false;
        MoveEnd(handle_, end.QuadPart); // as it was, for the caller's own copy
        return 0;
    }
    return whole;
}

// No ranged copy inside the system here but block cloning: the caller's
// buffer does the rest.
std::int64_t OutputFile::CopyFrom(const InputFile& input, std::int64_t pos, std::int64_t length) {
    return kernelCopy_ ? CloneFrom(input, pos, length) : 0;
}

} // namespace kst

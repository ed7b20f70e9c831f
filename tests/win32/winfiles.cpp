// SPDX-License-Identifier: MIT
#include "winfiles.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winioctl.h>

#include <stdexcept>

namespace fs = std::filesystem;

namespace {

constexpr Dword kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE OpenShared(const fs::path& path, Dword access, Dword disposition) {
    return ::CreateFileW(path.c_str(), access, kShareAll, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

void Check(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(std::string(what) +
                                 " failed: " + std::to_string(::GetLastError()));
    }
}

} // namespace

ForeignHandle::ForeignHandle(const fs::path& path, Dword access, Dword share) {
    HANDLE h = ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error_ = ::GetLastError();
    } else {
        handle_ = h;
    }
}

ForeignHandle::~ForeignHandle() {
    Close();
}

void ForeignHandle::Close() {
    if (handle_ != nullptr) {
        ::CloseHandle(handle_);
        handle_ = nullptr;
    }
}

Dword OpenError(const fs::path& path, Dword access) {
    const ForeignHandle probe(path, access, kShareAll);
    return probe.Error();
}

std::vector<std::wstring> NamesIn(const fs::path& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE h = ::FindFirstFileW((folder / L"*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (::FindNextFileW(h, &found));
    ::FindClose(h);
    return names;
}

void MakeSparse(const fs::path& path, std::int64_t size, const std::vector<std::int64_t>& marks) {
    HANDLE h = OpenShared(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
    Check(h != INVALID_HANDLE_VALUE, "CreateFileW");
    DWORD unused = 0;
    // Where the volume has no sparse files the zeros are simply stored.
    ::DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
    LARGE_INTEGER at{};
    at.QuadPart = size;
    bool ok = ::SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && ::SetEndOfFile(h);
    for (const std::int64_t mark : marks) {
        const BYTE byte = 0x5A;
        DWORD put = 0;
        at.QuadPart = mark;
        ok = ok && ::SetFilePointerEx(h, at, nullptr, FILE_BEGIN) &&
             ::WriteFile(h, &byte, 1, &put, nullptr) && put == 1;
    }
    ::CloseHandle(h);
    Check(ok, "extending the file");
}

bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

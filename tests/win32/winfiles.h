// SPDX-License-Identifier: MIT
#pragma once

#include "testfiles.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Win32 types without <windows.h> in every test.
using Dword = unsigned long;

// A handle on a file opened by "another program": CreateFileW with the given
// access and share mode. Closed on destruction.
class ForeignHandle {
public:
    ForeignHandle(const std::filesystem::path& path, Dword access, Dword share);
    ~ForeignHandle();
    ForeignHandle(const ForeignHandle&) = delete;
    ForeignHandle& operator=(const ForeignHandle&) = delete;

    bool IsOpen() const { return handle_ != nullptr; }
    // GetLastError() of the open; 0 when it succeeded.
    Dword Error() const { return error_; }
    void Close();

private:
    void* handle_ = nullptr;
    Dword error_ = 0;
};

// GetLastError() of opening path with access and every share mode, or 0 when
// the open succeeded.
Dword OpenError(const std::filesystem::path& path, Dword access);

// The names in a folder as the system lists them, in UTF-16.
std::vector<std::wstring> NamesIn(const std::filesystem::path& folder);

// A file of size bytes, all zero but for one non-zero byte at each mark,
// made by extending an empty file so the zeros take no disk space.
void MakeSparse(const std::filesystem::path& path, std::int64_t size,
                const std::vector<std::int64_t>& marks);

// True under Wine, whose Z: drive maps the Unix root.
bool UnderWine();

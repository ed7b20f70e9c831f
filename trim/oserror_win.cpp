// SPDX-License-Identifier: MIT
#include "oserror.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <array>
#include <utility>

namespace kst {
namespace {

#define KST_WIN_ERROR(name)                                                                        \
    std::pair<DWORD, const char*> {                                                                \
        name, #name                                                                                \
    }

// The codes file work meets; any other is named by its number.
constexpr std::array kNames{
    KST_WIN_ERROR(ERROR_FILE_NOT_FOUND),
    KST_WIN_ERROR(ERROR_PATH_NOT_FOUND),
    KST_WIN_ERROR(ERROR_ACCESS_DENIED),
    KST_WIN_ERROR(ERROR_SHARING_VIOLATION),
    KST_WIN_ERROR(ERROR_LOCK_VIOLATION),
    KST_WIN_ERROR(ERROR_DISK_FULL),
    KST_WIN_ERROR(ERROR_HANDLE_DISK_FULL),
    KST_WIN_ERROR(ERROR_WRITE_PROTECT),
    KST_WIN_ERROR(ERROR_INVALID_NAME),
    KST_WIN_ERROR(ERROR_FILE_EXISTS),
    KST_WIN_ERROR(ERROR_ALREADY_EXISTS),
    KST_WIN_ERROR(ERROR_NOT_READY),
    KST_WIN_ERROR(ERROR_DIRECTORY),
    KST_WIN_ERROR(ERROR_FILENAME_EXCED_RANGE),
    KST_WIN_ERROR(ERROR_TOO_MANY_OPEN_FILES),
    KST_WIN_ERROR(ERROR_NOT_ENOUGH_MEMORY),
    KST_WIN_ERROR(ERROR_READ_FAULT),
    KST_WIN_ERROR(ERROR_WRITE_FAULT),
    KST_WIN_ERROR(ERROR_CRC),
    KST_WIN_ERROR(ERROR_INVALID_PARAMETER),
    KST_WIN_ERROR(ERROR_NETWORK_ACCESS_DENIED),
    KST_WIN_ERROR(ERROR_BAD_NETPATH),
    KST_WIN_ERROR(ERROR_CANT_ACCESS_FILE),
    KST_WIN_ERROR(ERROR_USER_MAPPED_FILE),
};

#undef KST_WIN_ERROR

std::string Utf8(const wchar_t* text, int length) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

} // namespace

bool IsHeldElsewhere(OsErrorCode code) {
    const auto error = static_cast<DWORD>(code);
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

std::string OsErrorName(OsErrorCode code) {
    if (code == 0) {
        return {};
    }
    for (const auto& [value, name] : kNames) {
        if (value == static_cast<DWORD>(code)) {
            return name;
        }
    }
    return "ERROR_" + std::to_string(static_cast<DWORD>(code));
}

// In English where the system has it, as the rest of the CLI's texts are.
std::string OsErrorText(OsErrorCode code) {
    if (code == 0) {
        return {};
    }
    wchar_t* text = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD length = 0;
    for (const DWORD language : {DWORD{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)}, DWORD{0}}) {
        length = ::FormatMessageW(flags, nullptr, static_cast<DWORD>(code), language,
                                  reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        if (length != 0) {
            break;
        }
    }
    if (length == 0) {
        return OsErrorName(code);
    }
    // The system's text ends in a full stop and a line break.
    while (length > 0 && (text[length - 1] == L'\n' || text[length - 1] == L'\r' ||
                          text[length - 1] == L'.' || text[length - 1] == L' ')) {
        --length;
    }
    std::string utf8 = Utf8(text, static_cast<int>(length));
    ::LocalFree(text);
    return utf8;
}

} // namespace kst

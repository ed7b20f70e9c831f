// SPDX-License-Identifier: MIT
#include "outputpath.h"
#include "winargs.h"

#include <windows.h>

#include <filesystem>
#include <memory>

namespace kst::cli {
namespace {

std::string Utf8(const std::wstring& wide) {
    const std::u8string text = std::filesystem::path(wide).u8string();
    return std::string(text.begin(), text.end());
}

struct FindCloser {
    void operator()(HANDLE find) const { ::FindClose(find); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

} // namespace

std::vector<CommandArgument> ProcessCommandLine() {
    return SplitCommandLine(Utf8(::GetCommandLineW()));
}

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder) {
    const std::wstring all = PathFromUtf8(folder).wstring() + L"*";
    WIN32_FIND_DATAW found{};
    // Long names only: a short name matching would bring in names that do not.
    const HANDLE first =
        ::FindFirstFileExW(all.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                           FIND_FIRST_EX_LARGE_FETCH);
    if (first == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    const FindHandle find(first);
    std::vector<FolderEntry> entries;
    do {
        entries.push_back(FolderEntry{Utf8(found.cFileName),
                                      (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (::FindNextFileW(find.get(), &found));
    return entries;
}

} // namespace kst::cli

// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string>
#include <utility>

// Non-visual component owned by a window: the shell's modal folder chooser,
// remembering the last folder confirmed during this run. Paths are UTF-16
// from end to end.
class TFolderDialog {
public:
    explicit TFolderDialog(HWND owner);

    std::wstring Title() const { return title_; }
    void SetTitle(std::wstring title) { title_ = std::move(title); }
    std::wstring FolderPath() const { return folderPath_; }

    // Shows the chooser modally; true when the user confirmed an item.
    bool Execute();

private:
    // The one handler of the chooser's notifications; always returns 0.
    static int CALLBACK BrowseCallback(HWND dialog, UINT code, LPARAM value, LPARAM component);

    HWND owner_;
    std::wstring folderPath_;
    std::wstring title_;
};

// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string>
#include <utility>

// Used only while the build has no kestrune_folderdialog for Windows: the
// shell's plain folder chooser behind the same interface.
class TFolderDialog {
public:
    explicit TFolderDialog(HWND owner) : owner_(owner) {}

    std::wstring Title() const { return title_; }
    void SetTitle(std::wstring title) { title_ = std::move(title); }
    std::wstring FolderPath() const { return folderPath_; }

    // Modal; true when the user confirmed a folder.
    bool Execute();

private:
    HWND owner_;
    std::wstring title_;
    std::wstring folderPath_;
};

// SPDX-License-Identifier: MIT
#include "FolderDialog.h"

#include <shlobj.h>

bool TFolderDialog::Execute() {
    BROWSEINFOW browse{};
    browse.hwndOwner = owner_;
    browse.lpszTitle = title_.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE const chosen = SHBrowseForFolderW(&browse);
    if (chosen == nullptr) {
        return false;
    }
    std::wstring path(32768, L'\0');
    const bool named = SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()),
                                             GPFIDL_DEFAULT) != FALSE;
    CoTaskMemFree(chosen);
    if (named) {
        path.resize(path.find(L'\0'));
        folderPath_ = path;
    }
    return named;
}

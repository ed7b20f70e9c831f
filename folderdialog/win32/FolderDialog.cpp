// SPDX-License-Identifier: MIT
#include "FolderDialog.h"

#include <objbase.h>
#include <shlobj.h>

#include <array>
#include <memory>

namespace {

// Item identifier lists come from the shell's allocator, which is COM's.
struct ItemListFree {
    void operator()(ITEMIDLIST* list) const { ::CoTaskMemFree(list); }
};
using ItemList = std::unique_ptr<ITEMIDLIST, ItemListFree>;

// The chooser needs COM on this thread; balanced only when this call started it.
class ComScope {
public:
    ComScope() : started_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (started_) {
            ::CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    const bool started_;
};

// An empty path never names a folder, whatever the working directory is.
bool DirectoryExists(const std::wstring& path) {
    if (path.empty()) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// File-system path of an item; empty for items without one (the computer, virtual folders).
std::wstring ItemPath(PCIDLIST_ABSOLUTE item) {
    std::array<wchar_t, MAX_PATH> buffer{};
    if (item == nullptr || !::SHGetPathFromIDListW(item, buffer.data())) {
        return {};
    }
    return buffer.data();
}

} // namespace

TFolderDialog::TFolderDialog(const HWND owner) : owner_(owner), title_(L"フォルダーの選択") {}

bool TFolderDialog::Execute() {
    const ComScope com;
    // The tree is rooted at the computer: the drives and what lies below them.
    PIDLIST_ABSOLUTE rootList = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(owner_, CSIDL_DRIVES, &rootList))) {
        return false;
    }
    const ItemList root(rootList);

    std::array<wchar_t, MAX_PATH> displayName{};
    BROWSEINFOW info{};
    info.hwndOwner = owner_;
    info.pidlRoot = root.get();
    info.pszDisplayName = displayName.data();
    info.lpszTitle = title_.c_str();
    // A status line and nothing else: OK stays enabled on items without a path.
    info.ulFlags = BIF_STATUSTEXT;
    info.lpfn = &TFolderDialog::BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(this);

    const ItemList chosen(::SHBrowseForFolderW(&info));
    if (!chosen) {
        return false;
    }
    if (std::wstring path = ItemPath(chosen.get()); !path.empty()) {
        folderPath_ = std::move(path);
    }
    return true;
}

int CALLBACK TFolderDialog::BrowseCallback(const HWND dialog, const UINT code, const LPARAM value,
                                           const LPARAM component) {
    const auto* const self = reinterpret_cast<const TFolderDialog*>(component);
    std::wstring status;
    if (code == BFFM_INITIALIZED && DirectoryExists(self->folderPath_)) {
        ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE,
                       reinterpret_cast<LPARAM>(self->folderPath_.c_str()));
    }
    if (code == BFFM_SELCHANGED) {
        status = ItemPath(reinterpret_cast<PCIDLIST_ABSOLUTE>(value));
    }
    // Every notification resets the status line; at initialisation this comes
    // after the preselection, so the line starts out empty.
    ::SendMessageW(dialog, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(status.c_str()));
    return 0;
}

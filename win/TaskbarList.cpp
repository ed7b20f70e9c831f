// SPDX-License-Identifier: MIT
#include "TaskbarList.h"

#include <objbase.h>
#include <shobjidl.h>

namespace kst::win {

namespace {

TBPFLAG FlagOf(kst::TaskbarState state) {
    switch (state) {
    case kst::TaskbarState::Normal:
        return TBPF_NORMAL;
    case kst::TaskbarState::Error:
        return TBPF_ERROR;
    case kst::TaskbarState::None:
        break;
    }
    return TBPF_NOPROGRESS;
}

} // namespace

void TaskbarList::Release::operator()(ITaskbarList3* list) const {
    list->Release();
}

TaskbarList::TaskbarList(HWND window) : window_(window) {
    ITaskbarList3* list = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&list))) ||
        list == nullptr) {
        return;
    }
    list_.reset(list);
    if (FAILED(list_->HrInit())) {
        list_.reset();
    }
}

// The value goes first: set while no progress shows, it switches the button
// to the normal state, which the state set next then replaces.
void TaskbarList::ShowProgress(kst::TaskbarState state, int percent) {
    if (!list_) {
        return;
    }
    if (state != kst::TaskbarState::None) {
        list_->SetProgressValue(window_, static_cast<ULONGLONG>(percent), 100);
    }
    list_->SetProgressState(window_, FlagOf(state));
}

} // namespace kst::win

// SPDX-License-Identifier: MIT
#pragma once

#include "taskbarprogress.h"

#include <windows.h>

#include <memory>

struct ITaskbarList3;

namespace kst::win {

// The window's task-bar button through the shell's ITaskbarList3. Where the
// shell does not offer it (older systems, some Wine set-ups) or a call fails,
// the button shows nothing and no one is told. COM must be initialised on the
// calling thread.
class TaskbarList final : public kst::TaskbarButton {
public:
    explicit TaskbarList(HWND window);

    // Whether the shell gave the interface; otherwise every call does nothing.
    bool Created() const { return list_ != nullptr; }

    void ShowProgress(kst::TaskbarState state, int percent) override;

private:
    struct Release {
        void operator()(ITaskbarList3* list) const;
    };

    HWND window_;
    std::unique_ptr<ITaskbarList3, Release> list_;
};

} // namespace kst::win

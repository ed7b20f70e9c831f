// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <functional>
#include <string>

class TFolderDialog;

// The open chooser as the user sees it, seen and handled from a second thread
// while the component waits in its modal loop.
class Chooser {
public:
    explicit Chooser(HWND dialog) : dialog_(dialog) {}

    std::wstring TitleText() const;
    std::wstring StatusText() const;
    // Label of the highlighted tree item, and whether it is the top item (the computer).
    std::wstring HighlightedLabel() const;
    bool ComputerHighlighted() const;

    // Highlights the folder at path as a program would; true once the status
    // line shows the path (a request can be lost while the shell starts up).
    bool Highlight(const std::wstring& path) const;
    // Highlights the computer; true once the status line is empty.
    bool HighlightComputer() const;
    void Press(int button) const; // IDOK or IDCANCEL
    bool Pressed() const { return pressed_; }

private:
    bool StatusBecomes(const std::wstring& text, const std::function<void()>& request) const;
    HWND Tree() const;
    HWND dialog_;
    mutable bool pressed_ = false;
};

// Runs Execute on an owner window while drive acts on the chooser from another
// thread; a chooser that drive left open is cancelled, so no test can block.
// found is false when no chooser owned by the window appeared.
struct ChooserRun {
    bool found = false;
    bool result = false;
};
ChooserRun Browse(TFolderDialog& component, HWND owner,
                  const std::function<void(const Chooser&)>& drive);

// A plain top-level window to own the chooser, destroyed with the object.
class OwnerWindow {
public:
    OwnerWindow();
    ~OwnerWindow();
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;
    HWND Handle() const { return window_; }

private:
    HWND window_;
};

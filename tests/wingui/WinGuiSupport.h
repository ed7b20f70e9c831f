// SPDX-License-Identifier: MIT
#pragma once

#include "MessageBoxes.h"
#include "Unit1.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

// Collects the boxes the window would show, for as long as it lives.
class BoxRecorder {
public:
    struct Box {
        kst::ui::BoxKind kind;
        std::wstring text;
    };
    BoxRecorder();
    ~BoxRecorder();
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    std::vector<Box> boxes;
};

std::wstring Text(HWND control);
bool Ticked(HWND control);
bool Shown(HWND control);
bool Enabled(HWND control);
// A click as the button itself reports it; its handler runs before this returns.
void Click(HWND button);
void Type(HWND field, const std::wstring& text);
// A control's rectangle in its parent's client coordinates.
RECT PlaceOf(HWND control);
// Dispatches everything pending, as the message loop would.
void PumpMessages();
// A key pressed and released at the keyboard, the held keys down around it;
// the window sees it at the next dispatch.
void PressKey(WORD key, std::initializer_list<WORD> held = {});
// The window's control that has the focus: the combo box for its field.
HWND FocusedControl(HWND window);
// The controls Tab reaches from start, once round, in the window's order.
std::vector<HWND> TabCycle(HWND window, HWND start);
// Delivers a shell drop of paths to window, made in this process.
void DropFiles(HWND window, const std::vector<std::wstring>& paths);
// The job's output for input, beside it or in folder, as the job names it.
std::filesystem::path OutputBeside(const std::filesystem::path& input);
std::filesystem::path OutputInFolder(const std::filesystem::path& folder,
                                     const std::filesystem::path& input);
// The file's text lines as the log shows them: each ends in CR LF.
std::wstring LogOf(const std::vector<std::wstring>& lines);

// A fresh window, shown, with its boxes recorded. Chunk units of 1,000
// bytes keep the files small.
class FormTest : public ::testing::Test {
protected:
    static constexpr std::int64_t kChunkUnit = 1000;

    void SetUp() override;
    void TearDown() override;

    TForm1& Form() { return *form_; }
    // Writes bytes under name into the test's folder and drops that file.
    std::filesystem::path DropInput(const std::string& name, const Bytes& bytes);

    BoxRecorder recorder_;
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<TForm1> form_;
};

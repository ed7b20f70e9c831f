// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace kst::form {

// The main window's controls, in creation order: each lies above the ones
// before it.
enum class Control {
    Label1,
    Gauge1,
    Label3,
    Label4,
    Button1,
    Memo1,
    RadioGroup1,
    Button2,
    Edit1,
    StatusBar1,
    CheckBox1,
    Edit2,
    CheckBox2,
    CheckBox3,
    Button3,
    ComboBox1,
};
inline constexpr std::size_t kControlCount = 16;

enum class Kind {
    Label, // drawn on the window's surface
    Gauge,
    Button,
    Memo, // multi-line, scrolled, the log
    RadioGroup,
    Edit, // one line
    StatusBar,
    CheckBox,
    ComboBox, // editable field with a drop-down list
};

// Pixels at 96 dots per inch, relative to the client area.
struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct ControlRow {
    Control control;
    std::string_view name;
    Kind kind;
    Rect rect;
    bool fitsText; // sized to its text: only left and top hold
    // UTF-8: a label's or button's text, a group's caption, a field's content.
    std::string_view text;
    std::span<const std::string_view> items; // a group's items, a combo box's rows
    int selected;                            // the item selected at start; -1: none
    bool shown;
    bool enabled;
    int tab; // place in the keyboard order; -1: never reached by Tab
    // What a screen reader announces, for fields no visible text of their own names.
    std::string_view readerName;
};

inline constexpr std::string_view kCaption = "Kestrune";
inline constexpr int kClientWidth = 379;
inline constexpr int kClientHeight = 349;
inline constexpr std::string_view kFolderDialogTitle = "フォルダーの選択";

std::span<const ControlRow> Controls();
const ControlRow& RowOf(Control control);
// The controls Tab reaches, in its order.
std::vector<Control> TabOrder();

} // namespace kst::form

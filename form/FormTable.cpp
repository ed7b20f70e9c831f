// SPDX-License-Identifier: MIT
#include "FormTable.h"

#include "kestrune_version.h"

#include <algorithm>
#include <array>

namespace kst::form {

namespace {

constexpr std::array<std::string_view, 2> kOutputPlaces{"読み込みファイルと同じ", "指定する"};
constexpr std::array<std::string_view, 3> kChunkSizes{"1", "5", "10"};

using enum Control;
using enum Kind;

// clang-format off
constexpr std::array<ControlRow, kControlCount> kControls{{
    // control, name, kind, rect, fitsText, text, items, selected, shown, enabled, tab, readerName
    {Label1, "Label1", Label, {8, 8, 281, 17}, false, "", {}, -1, true, true, -1, ""},
    {Gauge1, "Gauge1", Gauge, {8, 168, 361, 17}, false, "", {}, -1, true, true, -1, ""},
    {Label3, "Label3", Label, {168, 304, 204, 12}, true,
     "Ver " KESTRUNE_VERSION_STRING "  Kestrune project", {}, -1, true, true, -1, ""},
    {Label4, "Label4", Label, {160, 144, 65, 12}, true, "バッファ(MB)", {}, -1, true, true, -1, ""},
    {Button1, "Button1", Button, {296, 8, 75, 25}, false, "実行", {}, -1, true, true, 0, ""},
    {Memo1, "Memo1", Memo, {8, 192, 361, 105}, false, "", {}, -1, true, true, 1, "ログ"},
    {RadioGroup1, "RadioGroup1", RadioGroup, {8, 40, 361, 73}, false, "出力先", kOutputPlaces, 0,
     true, true, 2, ""},
    {Button2, "Button2", Button, {280, 80, 75, 25}, false, "参照", {}, -1, true, true, 3, ""},
    {Edit1, "Edit1", Edit, {88, 80, 185, 20}, false, "", {}, -1, true, true, 4, "出力先フォルダ"},
    {StatusBar1, "StatusBar1", StatusBar, {0, 326, 379, 23}, false, "", {}, -1, true, true, -1, ""},
    {CheckBox1, "CheckBox1", CheckBox, {8, 120, 153, 17}, false, "先頭の0データも削除する", {}, -1,
     true, true, 6, ""},
    {Edit2, "Edit2", Edit, {256, 120, 49, 20}, false, "0", {}, -1, true, false, 7,
     "先頭0出力のバイト数"},
    {CheckBox2, "CheckBox2", CheckBox, {176, 120, 73, 17}, false, "先頭0出力", {}, -1, true, false, 8,
     ""},
    {CheckBox3, "CheckBox3", CheckBox, {8, 144, 121, 17}, false, "ゼロだけを調べる", {}, -1, true, true,
     9, ""},
    {Button3, "Button3", Button, {296, 8, 73, 25}, false, "中断", {}, -1, false, true, 10, ""},
    {ComboBox1, "ComboBox1", ComboBox, {248, 144, 57, 20}, false, "1", kChunkSizes, -1, true, true, 11,
     "バッファ(MB)"},
}};
// clang-format on

// RowOf() looks a control up by its place in the table.
static_assert([] {
    for (std::size_t index = 0; index < kControls.size(); ++index) {
        if (static_cast<std::size_t>(kControls[index].control) != index) {
            return false;
        }
    }
    return true;
}());

} // namespace

std::span<const ControlRow> Controls() {
    return kControls;
}

const ControlRow& RowOf(Control control) {
    return kControls[static_cast<std::size_t>(control)];
}

std::vector<Control> TabOrder() {
    std::vector<const ControlRow*> reached;
    for (const ControlRow& entry : kControls) {
        if (entry.tab >= 0) {
            reached.push_back(&entry);
        }
    }
    std::ranges::sort(reached, {}, &ControlRow::tab);
    std::vector<Control> order;
    for (const ControlRow* const entry : reached) {
        order.push_back(entry->control);
    }
    return order;
}

} // namespace kst::form

// SPDX-License-Identifier: MIT
// The window as laid out, its states, keyboard order, drops and scaling.
#include "Elide.h"
#include "FolderDialog.h"
#include "FormTable.h"
#include "WinGuiSupport.h"
#include "WinText.h"

#include <commctrl.h>

#include <algorithm>
#include <array>

namespace {

using kst::form::Control;
using kst::form::ControlRow;
using kst::form::Kind;
using kst::win::Widen;

// The system's class that stands for each kind of the table.
const wchar_t* WindowClassOf(Kind kind) {
    switch (kind) {
    case Kind::Label:
        return WC_STATICW;
    case Kind::Gauge:
        return PROGRESS_CLASSW;
    case Kind::Button:
    case Kind::RadioGroup: // its frame
    case Kind::CheckBox:
        return WC_BUTTONW;
    case Kind::Memo:
    case Kind::Edit:
        return WC_EDITW;
    case Kind::StatusBar:
        return STATUSCLASSNAMEW;
    case Kind::ComboBox:
        return WC_COMBOBOXW;
    }
    return L"";
}

std::wstring ClassOf(HWND control) {
    wchar_t name[64]{};
    GetClassNameW(control, name, 64);
    return name;
}

class WindowTest : public FormTest {
protected:
    // The controls reached by Tab from Button1, once round.
    std::vector<HWND> TabCycle() { return ::TabCycle(Form().Handle(), Form().Button1); }
};

TEST_F(WindowTest, EveryControlAsTheTableHasIt) {
    for (const ControlRow& entry : kst::form::Controls()) {
        SCOPED_TRACE(entry.name);
        const HWND control = Form().Hwnd(entry.control);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(GetParent(control), Form().Handle());
        EXPECT_EQ(ClassOf(control), WindowClassOf(entry.kind));
        const RECT place = PlaceOf(control);
        EXPECT_EQ(place.left, entry.rect.left);
        EXPECT_EQ(place.top, entry.rect.top);
        if (!entry.fitsText) {
            EXPECT_EQ(place.right - place.left, entry.rect.width);
        }
        // The combo box's height is checked apart: the system may need more for the font.
        if (!entry.fitsText && entry.kind != Kind::ComboBox) {
            EXPECT_EQ(place.bottom - place.top, entry.rect.height);
        }
        EXPECT_EQ(Text(control), Widen(entry.text));
        EXPECT_EQ(Shown(control), entry.shown);
        EXPECT_EQ(Enabled(control), entry.enabled);
    }

    const ControlRow& group = kst::form::RowOf(Control::RadioGroup1);
    EXPECT_EQ(Form().RadioGroup1.ItemIndex(), group.selected);
    // The items in the group's rows, the second ending where Edit1 begins.
    const std::array<RECT, 2> rows{RECT{16, 56, 361, 76}, RECT{16, 80, 88, 100}};
    for (int item = 0; item < 2; ++item) {
        const HWND radio = Form().RadioGroup1.Item(item);
        EXPECT_EQ(Text(radio), Widen(group.items[static_cast<std::size_t>(item)]));
        const RECT place = PlaceOf(radio);
        EXPECT_TRUE(EqualRect(&place, &rows[static_cast<std::size_t>(item)])) << item;
    }
    const ControlRow& sizes = kst::form::RowOf(Control::ComboBox1);
    EXPECT_EQ(SendMessageW(Form().ComboBox1, CB_GETCURSEL, 0, 0), sizes.selected);
    ASSERT_EQ(SendMessageW(Form().ComboBox1, CB_GETCOUNT, 0, 0),
              static_cast<LRESULT>(sizes.items.size()));
    for (std::size_t row = 0; row < sizes.items.size(); ++row) {
        wchar_t item[8]{};
        SendMessageW(Form().ComboBox1, CB_GETLBTEXT, row, reinterpret_cast<LPARAM>(item));
        EXPECT_EQ(std::wstring(item), Widen(sizes.items[row]));
    }
}

TEST_F(WindowTest, WindowFrameFontAndInitialChoices) {
    RECT client{};
    GetClientRect(Form().Handle(), &client);
    EXPECT_EQ(client.right, 379);
    EXPECT_EQ(client.bottom, 349);
    const LONG_PTR style = GetWindowLongPtrW(Form().Handle(), GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_MAXIMIZEBOX),
              WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    EXPECT_EQ(style & WS_CLIPCHILDREN, 0); // it would leave the group's frame unpainted
    EXPECT_EQ(Text(Form().Handle()), Widen(kst::form::kCaption));
    RECT outer{};
    GetWindowRect(Form().Handle(), &outer);
    EXPECT_NEAR(outer.left + outer.right,
                2 * GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN), 1);
    EXPECT_NEAR(outer.top + outer.bottom,
                2 * GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN), 1);
    EXPECT_NE(GetWindowLongPtrW(Form().Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);

    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Form().Button1, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    EXPECT_EQ(font.lfHeight, -12);
    EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
    // Whichever face stood in for the design face, it has the texts' glyphs.
    const HDC dc = GetDC(Form().Button1);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(Form().Button1, WM_GETFONT, 0, 0)));
    const std::wstring japanese = L"実行読み込みファイルと同じバッファ";
    std::vector<WORD> glyphs(japanese.size());
    GetGlyphIndicesW(dc, japanese.c_str(), static_cast<int>(japanese.size()), glyphs.data(),
                     GGI_MARK_NONEXISTING_GLYPHS);
    wchar_t face[LF_FACESIZE]{};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    ReleaseDC(Form().Button1, dc);
    EXPECT_EQ(std::count(glyphs.begin(), glyphs.end(), 0xFFFF), 0) << face;
    EXPECT_NE(SendMessageW(Form().StatusBar1.Handle(), WM_GETFONT, 0, 0),
              SendMessageW(Form().Button1, WM_GETFONT, 0, 0));

    // 20 pixels closed; Wine's field needs at least 21 for the IPA font.
    const RECT combo = PlaceOf(Form().ComboBox1);
    EXPECT_NEAR(combo.bottom - combo.top, 20, 1);
    EXPECT_EQ(Form().FolderDialog1->Title(), Widen(kst::form::kFolderDialogTitle));
    EXPECT_EQ(GetFocus(), Form().Button1);
}

TEST_F(WindowTest, TabVisitsTheEnabledControlsInOrder) {
    TForm1& f = Form();
    EXPECT_EQ(TabCycle(), (std::vector<HWND>{f.Button1, f.Memo1, f.RadioGroup1.Item(0), f.Button2,
                                             f.Edit1, f.CheckBox1, f.CheckBox3, f.ComboBox1}));
    Click(f.CheckBox1);
    Click(f.RadioGroup1.Item(1));
    EXPECT_EQ(TabCycle(),
              (std::vector<HWND>{f.Button1, f.Memo1, f.RadioGroup1.Item(1), f.Button2, f.Edit1,
                                 f.CheckBox1, f.Edit2, f.CheckBox2, f.CheckBox3, f.ComboBox1}));
}

// Keys as the user presses them, through the message loop's dispatch: no
// control keeps Tab, Memo1 included; Ctrl+Tab types a tab into Memo1.
TEST_F(WindowTest, TabAndShiftTabWalkTheCycleBothWays) {
    TForm1& f = Form();
    const std::vector<HWND> cycle = TabCycle(); // without the disabled and hidden ones
    const auto walk = [&](std::initializer_list<WORD> held) {
        std::vector<HWND> reached;
        SetFocus(f.Button1);
        for (std::size_t step = 0; step < cycle.size(); ++step) {
            PressKey(VK_TAB, held);
            PumpMessages();
            reached.push_back(FocusedControl(f.Handle()));
        }
        return reached;
    };
    std::vector<HWND> forwards(cycle.begin() + 1, cycle.end());
    forwards.push_back(f.Button1);
    EXPECT_EQ(walk({}), forwards);
    std::vector<HWND> backwards(cycle.rbegin(), cycle.rend() - 1);
    backwards.push_back(f.Button1);
    EXPECT_EQ(walk({VK_SHIFT}), backwards);
    EXPECT_EQ(Text(f.Memo1), L""); // Tab typed nothing on its way through

    SetFocus(f.Memo1);
    PressKey(VK_TAB, {VK_CONTROL});
    PumpMessages();
    EXPECT_EQ(GetFocus(), f.Memo1);
    EXPECT_EQ(Text(f.Memo1), L"\t");
}

// Edit1 and Button2 lie over the group's frame; labels and gauge beneath all.
TEST_F(WindowTest, StackingKeepsOverlappingControlsVisible) {
    std::vector<HWND> topDown;
    for (HWND child = GetWindow(Form().Handle(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        topDown.push_back(child);
    }
    const auto depth = [&](HWND control) {
        return std::find(topDown.begin(), topDown.end(), control) - topDown.begin();
    };
    const auto frame = depth(Form().RadioGroup1.Frame());
    EXPECT_LT(depth(Form().Edit1), frame);
    EXPECT_LT(depth(Form().Button2), frame);
    const std::vector<HWND> beneath{Form().Label4, Form().Label3, Form().Gauge1.Handle(),
                                    Form().Label1};
    EXPECT_EQ(std::vector<HWND>(topDown.end() - 4, topDown.end()), beneath);
}

struct InterlockRow {
    const char* name;
    std::vector<HWND TForm1::*> clicks;
    bool box2Ticked;
    bool box2Enabled;
    bool edit2Enabled;
};

TEST_F(WindowTest, CheckBox1GovernsThePadControls) {
    const std::vector<InterlockRow> rows{
        {"ticked", {&TForm1::CheckBox1}, false, true, true},
        {"pad asked", {&TForm1::CheckBox1, &TForm1::CheckBox2}, true, true, true},
        {"unticked again",
         {&TForm1::CheckBox1, &TForm1::CheckBox2, &TForm1::CheckBox1},
         false,
         false,
         false},
        {"ticked twice more",
         {&TForm1::CheckBox1, &TForm1::CheckBox2, &TForm1::CheckBox1, &TForm1::CheckBox1},
         false,
         true,
         true},
    };
    for (const InterlockRow& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        Type(Form().Edit2, L"12");
        for (HWND TForm1::*const box : row.clicks) {
            Click(Form().*box);
        }
        EXPECT_EQ(Ticked(Form().CheckBox2), row.box2Ticked);
        EXPECT_EQ(Enabled(Form().CheckBox2), row.box2Enabled);
        EXPECT_EQ(Enabled(Form().Edit2), row.edit2Enabled);
        EXPECT_EQ(Text(Form().Edit2), L"12");
    }
}

TEST_F(WindowTest, DropTakesTheFirstPathWhole) {
    const std::wstring longPath = L"C:\\" + std::wstring(300, L'長') + L".bin";
    const std::vector<std::vector<std::wstring>> drops{
        {L"C:\\データ\\ダンプ１.img"},
        {L"C:\\a.bin", L"C:\\b.bin", L"C:\\c.bin"},
        {longPath},
        {L"C:\\データ"},
    };
    for (const auto& drop : drops) {
        DropFiles(Form().Handle(), drop);
        EXPECT_EQ(Text(Form().Label1), drop.front());
    }
}

TEST_F(WindowTest, StatusPanelsSpanTheBarAndKeepWholeTexts) {
    const HWND bar = Form().StatusBar1.Handle();
    std::array<int, 3> ends{};
    ASSERT_EQ(SendMessageW(bar, SB_GETPARTS, 3, reinterpret_cast<LPARAM>(ends.data())), 3);
    EXPECT_EQ(ends, (std::array<int, 3>{100, 200, -1}));
    const std::vector<std::pair<int, int>> spans{{0, 100}, {100, 200}, {200, 379}};
    for (int index = 0; index < 3; ++index) {
        const RECT part = Form().StatusBar1.PanelRect(index);
        EXPECT_EQ(part.left, spans[index].first) << index;
        EXPECT_EQ(part.right, spans[index].second) << index;
    }
    EXPECT_EQ(GetWindowLongPtrW(bar, GWL_STYLE) & SBARS_SIZEGRIP, 0);

    const std::wstring fits = L"Tail 0=1,200";
    const std::wstring wide = L"Front 0=9,223,372,036,854,775,807";
    Form().StatusBar1.SetPanelText(0, wide);
    Form().StatusBar1.SetPanelText(1, fits);
    EXPECT_EQ(Form().StatusBar1.PanelText(0), wide);
    const std::wstring shown = Form().StatusBar1.ShownText(0);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), L'\u2026');
    EXPECT_EQ(wide.rfind(shown.substr(0, shown.size() - 1), 0), 0u);
    EXPECT_EQ(Form().StatusBar1.ShownText(1), fits);
    wchar_t tip[64]{};
    SendMessageW(bar, SB_GETTIPTEXTW, MAKEWPARAM(0, 64), reinterpret_cast<LPARAM>(tip));
    EXPECT_EQ(std::wstring(tip), wide);
}

struct ElideRow {
    const wchar_t* text;
    int width;
    const wchar_t* shown;
};

// Every code unit 6 pixels wide.
TEST(Elide, LongestPrefixThatFitsWithEllipsis) {
    const std::vector<ElideRow> rows{
        {L"Out Size=1,300", 84, L"Out Size=1,300"},
        {L"Out Size=1,300", 83, L"Out Size=1,3…"},
        {L"Out Size=1,300", 12, L"O…"},
        {L"Out Size=1,300", 6, L"…"},
        {L"Out Size=1,300", 5, L""},
        {L"", 0, L""},
        {L"a\U0001F600b", 18, L"a…"},
        {L"a\U0001F600b", 24, L"a\U0001F600b"},
    };
    const kst::win::MeasureText measure = [](std::wstring_view text) {
        return static_cast<int>(text.size()) * 6;
    };
    for (const ElideRow& row : rows) {
        EXPECT_EQ(kst::win::ElideToWidth(row.text, row.width, measure), row.shown) << row.width;
    }
}

struct GaugeRow {
    int set;
    int value;
    int fill; // of the 359-pixel inside
};

// Drawn into a bitmap: frame and fill black, the rest of the inside white.
TEST_F(WindowTest, GaugeClampsAndPaintsItsFill) {
    const std::vector<GaugeRow> rows{
        {-5, 0, 0}, {0, 0, 0}, {37, 37, 132}, {100, 100, 359}, {150, 100, 359}};
    const HWND gauge = Form().Gauge1.Handle();
    const HDC screen = GetDC(gauge);
    const HDC dc = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, 361, 17);
    const HGDIOBJ old = SelectObject(dc, bitmap);
    for (const GaugeRow& row : rows) {
        SCOPED_TRACE(row.set);
        Form().SetGauge(row.set);
        EXPECT_EQ(Form().Gauge1.Value(), row.value);
        EXPECT_EQ(SendMessageW(gauge, PBM_GETPOS, 0, 0), row.value);
        SendMessageW(gauge, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0));
        EXPECT_EQ(GetPixel(dc, 360, 16), RGB(0, 0, 0));
        // Row 2 lies above the centred text.
        if (row.fill > 0) {
            EXPECT_EQ(GetPixel(dc, row.fill, 2), RGB(0, 0, 0));
        }
        if (row.fill < 359) {
            EXPECT_EQ(GetPixel(dc, row.fill + 1, 2), RGB(255, 255, 255));
        }
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(gauge, screen);
}

struct DpiRow {
    UINT dpi;
    int buttonLeft;
    int buttonWidth;
    int clientWidth;
    int clientHeight;
    int fontHeight;
};

TEST_F(WindowTest, NewDpiScalesPlacesAndFonts) {
    const std::vector<DpiRow> rows{{144, 444, 113, 569, 524, -18},
                                   {192, 592, 150, 758, 698, -24},
                                   {96, 296, 75, 379, 349, -12}};
    for (const DpiRow& row : rows) {
        SCOPED_TRACE(row.dpi);
        RECT suggested{};
        GetWindowRect(Form().Handle(), &suggested);
        SendMessageW(Form().Handle(), WM_DPICHANGED, MAKEWPARAM(row.dpi, row.dpi),
                     reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(Form().Dpi(), row.dpi);
        const RECT button = PlaceOf(Form().Button1);
        EXPECT_EQ(button.left, row.buttonLeft);
        EXPECT_EQ(button.right - button.left, row.buttonWidth);
        RECT client{};
        GetClientRect(Form().Handle(), &client);
        EXPECT_EQ(client.right, row.clientWidth);
        EXPECT_EQ(client.bottom, row.clientHeight);
        const RECT bar = PlaceOf(Form().StatusBar1.Handle());
        EXPECT_EQ(bar.bottom, row.clientHeight);
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Form().Memo1, WM_GETFONT, 0, 0)),
                   sizeof font, &font);
        EXPECT_EQ(font.lfHeight, row.fontHeight);
    }
}

} // namespace

// SPDX-License-Identifier: MIT
#include "Unit1.h"

#include "Dpi.h"
#include "FolderDialog.h"
#include "MemoKeys.h"
#include "MessageBoxes.h"
#include "TaskbarList.h"
#include "WinText.h"
#include "resource.h"

#include <commctrl.h>
#include <initguid.h>
#include <oleacc.h>
#include <shellapi.h>

#include <array>
#include <exception>
#include <system_error>

TForm1* Form1 = nullptr;

namespace {

using kst::form::Control;
using kst::form::ControlRow;
using kst::form::Kind;
using kst::form::RowOf;

constexpr wchar_t kWindowClass[] = L"TForm1";
constexpr DWORD kFrameStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr SIZE kClientSize{kst::form::kClientWidth, kst::form::kClientHeight};
constexpr int kFontHeight = 12;
constexpr int kComboListRows = 3;

// Ids above IDOK and IDCANCEL, which the keyboard navigation sends for
// Enter and Esc: a control's place in the table, from 100; the radio
// group's items from 200.
constexpr int kFirstControlId = 100;
constexpr int kFirstRadioItemId = 200;

int IdOf(Control control) {
    return kFirstControlId + static_cast<int>(control);
}

constexpr RECT Design(const kst::form::Rect& rect) {
    return {rect.left, rect.top, rect.left + rect.width, rect.top + rect.height};
}

int DesignHeight(Control control) {
    return RowOf(control).rect.height;
}

// The radio group's rows, which Edit1 and Button2 share with the second
// item: that item ends where Edit1 begins.
constexpr int kRadioMargin = 8;
constexpr int kRadioFirstRowTop = 16;
constexpr int kRadioRowPitch = 24;
constexpr int kRadioRowHeight = 20;

RECT RadioItemRect(int index) {
    const RECT group = Design(RowOf(Control::RadioGroup1).rect);
    const int left = group.left + kRadioMargin;
    const int top = group.top + kRadioFirstRowTop + index * kRadioRowPitch;
    const int right = index == 0 ? group.right - kRadioMargin : RowOf(Control::Edit1).rect.left;
    return {left, top, right, top + kRadioRowHeight};
}

struct WindowKind {
    const wchar_t* windowClass;
    DWORD style;
    DWORD exStyle;
};

// The system's control for a kind of the table; a radio group's is its frame.
WindowKind WindowKindOf(const ControlRow& entry) {
    switch (entry.kind) {
    case Kind::Label:
        return {WC_STATICW,
                entry.fitsText ? DWORD{SS_LEFT | SS_NOPREFIX}
                               : DWORD{SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_NOPREFIX},
                0};
    case Kind::Button:
        return {WC_BUTTONW, BS_PUSHBUTTON, 0};
    case Kind::Memo:
        return {WC_EDITW, WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                WS_EX_CLIENTEDGE};
    case Kind::RadioGroup:
        return {WC_BUTTONW, BS_GROUPBOX, 0};
    case Kind::Edit:
        return {WC_EDITW, ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case Kind::CheckBox:
        return {WC_BUTTONW, BS_AUTOCHECKBOX, 0};
    case Kind::ComboBox:
        return {WC_COMBOBOXW, WS_VSCROLL | CBS_DROPDOWN, 0};
    case Kind::Gauge:
    case Kind::StatusBar:
        break;
    }
    return {WC_STATICW, 0, 0};
}

// Shown, enabled and reached by Tab as the table starts it; a radio group
// is reached at its items, not its frame.
DWORD StateStyle(const ControlRow& entry) {
    DWORD style = entry.shown ? WS_VISIBLE : 0;
    if (!entry.enabled) {
        style |= WS_DISABLED;
    }
    if (entry.tab >= 0 && entry.kind != Kind::RadioGroup) {
        style |= WS_TABSTOP | WS_GROUP;
    }
    return style;
}

int CALLBACK NoteFaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FaceInstalled(const wchar_t* face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    const HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &wanted, &NoteFaceFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

// The design face first, then Japanese UI faces of Windows and of the
// Linux systems Wine runs on; the font mapper's choice when none is there.
const wchar_t* WindowFontFace() {
    static const wchar_t* const face = [] {
        constexpr std::array kFaces{L"ＭＳ Ｐゴシック", L"MS PGothic", L"Meiryo UI",
                                    L"Yu Gothic UI",    L"IPAPGothic", L"IPAGothic",
                                    L"Noto Sans CJK JP"};
        for (const wchar_t* const candidate : kFaces) {
            if (FaceInstalled(candidate)) {
                return candidate;
            }
        }
        return kFaces.front();
    }();
    return face;
}

HFONT WindowFont(UINT dpi) {
    return CreateFontW(-kst::win::Scale(kFontHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, WindowFontFace());
}

SIZE TextSize(HWND control, HFONT font) {
    const std::wstring text = kst::win::WindowText(control);
    const HDC dc = GetDC(control);
    const HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size;
}

// Fields whose meaning no visible text of their own gives get a name for
// screen readers; labels and buttons are read by their text.
void NameForScreenReaders(const TForm1& form) {
    IAccPropServices* services = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&services)))) {
        return;
    }
    for (const ControlRow& entry : kst::form::Controls()) {
        if (!entry.readerName.empty()) {
            services->SetHwndPropStr(form.Hwnd(entry.control), static_cast<DWORD>(OBJID_CLIENT),
                                     CHILDID_SELF, PROPID_ACC_NAME,
                                     kst::win::Widen(entry.readerName).c_str());
        }
    }
    services->Release();
}

void RegisterWindowClass(WNDPROC procedure) {
    static const bool registered = [procedure] {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        windowClass.lpszClassName = kWindowClass;
        windowClass.hIcon = static_cast<HICON>(
            LoadImageW(instance, MAKEINTRESOURCEW(IDI_KESTRUNE), IMAGE_ICON,
                       GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
        windowClass.hIconSm = static_cast<HICON>(LoadImageW(
            instance, MAKEINTRESOURCEW(IDI_KESTRUNE), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
            GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
        return RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;
}

} // namespace

TForm1::TForm1(const kst::JobOptions& options) : FormEvents(*this, kst::form::TrimJob(options)) {
    Form1 = this;
    RegisterWindowClass(&TForm1::WindowProc);
    CreateWindowExW(0, kWindowClass, kst::win::Widen(kst::form::kCaption).c_str(), kFrameStyle,
                    CW_USEDEFAULT, CW_USEDEFAULT, kClientSize.cx, kClientSize.cy, nullptr, nullptr,
                    GetModuleHandleW(nullptr), this);
    if (hwnd_ == nullptr) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "CreateWindowExW");
    }
    Taskbar().SetButton(std::make_unique<kst::win::TaskbarList>(hwnd_));
    dpi_ = kst::win::WindowDpi(hwnd_);
    CreateControls();
    Relayout(dpi_);
    SizeFrame();
    FormCreate();
}

TForm1::~TForm1() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
    if (Form1 == this) {
        Form1 = nullptr;
    }
}

HWND TForm1::AddControl(const wchar_t* windowClass, std::string_view text, DWORD style,
                        DWORD exStyle, int id, RECT design, bool fitsToText) {
    const HWND control = CreateWindowExW(
        exStyle, windowClass, kst::win::Widen(text).c_str(), WS_CHILD | WS_CLIPSIBLINGS | style,
        design.left, design.top, design.right - design.left, design.bottom - design.top, hwnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    placements_.push_back({control, design, fitsToText});
    return control;
}

HWND TForm1::Hwnd(Control control) const {
    return controls_[static_cast<std::size_t>(control)];
}

// Windows stacks siblings in creation order, the first on top, and the
// keyboard walks them in that order. So the controls Tab reaches are made in
// its order; the frame of the radio group follows every control that lies
// over it, and the others come last, in reverse of the table's order, the
// labels and the gauge beneath everything.
void TForm1::CreateControls() {
    for (const Control control : kst::form::TabOrder()) {
        const ControlRow& entry = RowOf(control);
        if (entry.kind == Kind::RadioGroup) {
            CreateRadioItems(entry);
        } else {
            CreateControl(entry);
        }
    }
    const ControlRow& group = RowOf(Control::RadioGroup1);
    CreateControl(group);
    RadioGroup1.SetFrame(Hwnd(Control::RadioGroup1));
    RadioGroup1.SetItemIndex(group.selected);
    const auto controls = kst::form::Controls();
    for (auto entry = controls.rbegin(); entry != controls.rend(); ++entry) {
        if (entry->tab < 0) {
            CreateControl(*entry);
        }
    }

    Label1 = Hwnd(Control::Label1);
    Label3 = Hwnd(Control::Label3);
    Label4 = Hwnd(Control::Label4);
    Button1 = Hwnd(Control::Button1);
    Memo1 = Hwnd(Control::Memo1);
    Button2 = Hwnd(Control::Button2);
    Edit1 = Hwnd(Control::Edit1);
    CheckBox1 = Hwnd(Control::CheckBox1);
    Edit2 = Hwnd(Control::Edit2);
    CheckBox2 = Hwnd(Control::CheckBox2);
    CheckBox3 = Hwnd(Control::CheckBox3);
    Button3 = Hwnd(Control::Button3);
    ComboBox1 = Hwnd(Control::ComboBox1);
    FolderDialog1 = std::make_unique<TFolderDialog>(hwnd_);
    FolderDialog1->SetTitle(kst::win::Widen(kst::form::kFolderDialogTitle));
    NameForScreenReaders(*this);
}

void TForm1::CreateControl(const ControlRow& entry) {
    const int id = IdOf(entry.control);
    HWND control = nullptr;
    if (entry.kind == Kind::Gauge) {
        Gauge1.Create(hwnd_, id);
        control = Gauge1.Handle();
        placements_.push_back({control, Design(entry.rect), false});
    } else if (entry.kind == Kind::StatusBar) {
        StatusBar1.Create(hwnd_, id);
        control = StatusBar1.Handle();
    } else {
        const WindowKind kind = WindowKindOf(entry);
        control = AddControl(kind.windowClass, entry.kind == Kind::ComboBox ? "" : entry.text,
                             kind.style | StateStyle(entry), kind.exStyle, id, Design(entry.rect),
                             entry.fitsText);
    }
    controls_[static_cast<std::size_t>(entry.control)] = control;
    if (entry.kind == Kind::Memo) {
        SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
        kst::win::LetTabLeave(control);
    }
    if (entry.kind == Kind::ComboBox) {
        for (const std::string_view row : entry.items) {
            SendMessageW(control, CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(kst::win::Widen(row).c_str()));
        }
        SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(entry.selected), 0);
        SetWindowTextW(control, kst::win::Widen(entry.text).c_str());
    }
}

// Tab reaches the group at its first item until another is selected.
void TForm1::CreateRadioItems(const ControlRow& entry) {
    for (std::size_t index = 0; index < entry.items.size(); ++index) {
        const int item = static_cast<int>(index);
        const DWORD tabStop = index == 0 ? WS_TABSTOP | WS_GROUP : 0;
        RadioGroup1.SetItem(item, AddControl(WC_BUTTONW, entry.items[index],
                                             WS_VISIBLE | tabStop | BS_AUTORADIOBUTTON, 0,
                                             kFirstRadioItemId + item, RadioItemRect(item)));
    }
}

// Everything in pixels at dpi: the window font, every control's place and
// size, the status bar and its panels.
void TForm1::Relayout(UINT dpi) {
    dpi_ = dpi;
    const HFONT font = WindowFont(dpi);
    for (const Placement& placement : placements_) {
        SendMessageW(placement.control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
    font_ = font;

    using kst::win::Scale;
    for (const Placement& placement : placements_) {
        const RECT& design = placement.design;
        SIZE size{Scale(design.right - design.left, dpi), Scale(design.bottom - design.top, dpi)};
        if (placement.fitsToText) {
            size = TextSize(placement.control, font_);
        } else if (placement.control == ComboBox1) {
            size.cy += Scale(kComboListRows * DesignHeight(Control::ComboBox1), dpi);
        }
        SetWindowPos(placement.control, nullptr, Scale(design.left, dpi), Scale(design.top, dpi),
                     size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    FitComboHeight(Scale(DesignHeight(Control::ComboBox1), dpi));

    const int width = Scale(kClientSize.cx, dpi);
    const int height = Scale(kClientSize.cy, dpi);
    StatusBar1.Place({0, height - Scale(DesignHeight(Control::StatusBar1), dpi), width, height},
                     dpi);
}

// A drop-down combo box is as high as its font makes its field; the field's
// item height is set so that the closed box has the layout's height. Some
// systems apply a new item height only at the next resize, so the box is
// resized after each change.
void TForm1::FitComboHeight(int height) const {
    LRESULT item = SendMessageW(ComboBox1, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    for (int attempt = 0; attempt < 3; ++attempt) {
        RECT closed{};
        GetWindowRect(ComboBox1, &closed);
        const int error = height - (closed.bottom - closed.top);
        if (error == 0) {
            return;
        }
        // The system may raise a height too small for the font: the next
        // try starts from the height asked for, not the one granted.
        item += error;
        SendMessageW(ComboBox1, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), item);
        SetWindowPos(ComboBox1, nullptr, 0, 0, closed.right - closed.left,
                     height +
                         kst::win::Scale(kComboListRows * DesignHeight(Control::ComboBox1), dpi_),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// The frame for the layout's client size. Where the system draws the frame
// at another DPI than the one asked for (older systems, Wine), the client
// area is measured and the frame corrected once.
void TForm1::SizeFrame() {
    const SIZE client{kst::win::Scale(kClientSize.cx, dpi_), kst::win::Scale(kClientSize.cy, dpi_)};
    const RECT outer = kst::win::OuterRectForClient(client, kFrameStyle, 0, dpi_);
    SIZE frame{outer.right - outer.left, outer.bottom - outer.top};
    for (int attempt = 0; attempt < 2; ++attempt) {
        SetWindowPos(hwnd_, nullptr, 0, 0, frame.cx, frame.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT actual{};
        GetClientRect(hwnd_, &actual);
        if (actual.right == client.cx && actual.bottom == client.cy) {
            return;
        }
        frame.cx += client.cx - actual.right;
        frame.cy += client.cy - actual.bottom;
    }
}

// The outer rectangle centred on the virtual screen spanning all monitors.
void TForm1::CentreOnDesktop() {
    RECT outer{};
    GetWindowRect(hwnd_, &outer);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    const int left =
        GetSystemMetrics(SM_XVIRTUALSCREEN) + (GetSystemMetrics(SM_CXVIRTUALSCREEN) - width) / 2;
    const int top =
        GetSystemMetrics(SM_YVIRTUALSCREEN) + (GetSystemMetrics(SM_CYVIRTUALSCREEN) - height) / 2;
    SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm1::Show(int showCommand) {
    if (!placed_) {
        placed_ = true;
        CentreOnDesktop();
    }
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
}

void TForm1::Dispatch(MSG& msg) {
    if (hwnd_ != nullptr && IsDialogMessageW(hwnd_, &msg)) {
        return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void TForm1::FormCreate() {
    DragAcceptFiles(Form1->Handle(), TRUE);
}

// The first dropped path, whole, whatever its length; further items are
// ignored. A drop is taken during a job too.
void TForm1::FormDropFiles(HDROP drop) {
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring path(static_cast<std::size_t>(length) + 1, L'\0');
    const UINT copied = DragQueryFileW(drop, 0, path.data(), length + 1);
    path.resize(copied);
    SetWindowTextW(Label1, path.c_str());
    DragFinish(drop);
}

std::string TForm1::Text(Control control) {
    return kst::win::Narrow(kst::win::WindowText(Hwnd(control)));
}

void TForm1::SetText(Control control, std::string_view text) {
    SetWindowTextW(Hwnd(control), kst::win::Widen(text).c_str());
}

bool TForm1::Ticked(Control checkBox) {
    return SendMessageW(Hwnd(checkBox), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TForm1::SetTicked(Control checkBox, bool ticked) {
    SendMessageW(Hwnd(checkBox), BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TForm1::SetEnabled(Control control, bool enabled) {
    EnableWindow(Hwnd(control), enabled ? TRUE : FALSE);
}

// The focus follows the swap, so the keyboard keeps a button to press.
void TForm1::ShowInstead(Control shown, Control hidden) {
    const bool hadFocus = GetFocus() == Hwnd(hidden);
    ShowWindow(Hwnd(shown), SW_SHOW);
    ShowWindow(Hwnd(hidden), SW_HIDE);
    if (hadFocus) {
        SetFocus(Hwnd(shown));
    }
}

int TForm1::ItemIndex(Control /*group*/) {
    return RadioGroup1.ItemIndex();
}

void TForm1::ClearLog() {
    SetWindowTextW(Memo1, L"");
}

// The line and CR LF go in at the end of the text; the caret follows them.
void TForm1::AppendLog(std::string_view line) {
    const int end = GetWindowTextLengthW(Memo1);
    SendMessageW(Memo1, EM_SETSEL, static_cast<WPARAM>(end), end);
    const std::wstring text = kst::win::Widen(line) + L"\r\n";
    SendMessageW(Memo1, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(Memo1, EM_SCROLLCARET, 0, 0);
}

void TForm1::ShowFigure(kst::Figure figure, std::string_view text) {
    StatusBar1.SetPanelText(static_cast<int>(figure), kst::win::Widen(text));
}

void TForm1::SetGauge(int percent) {
    Gauge1.SetProgress(percent);
}

void TForm1::Inform(std::string_view text) {
    kst::ui::ShowInformation(hwnd_, kst::win::Widen(text));
}

void TForm1::ShowFailure(const std::exception& failure) {
    kst::ui::ShowFailure(hwnd_, failure);
}

// Every pending message, as the message loop would handle it; a quit is
// kept for when the job has returned.
void TForm1::Yield() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            controller_.QuitRequested(static_cast<int>(msg.wParam));
            continue;
        }
        Dispatch(msg);
    }
    if (yieldHook_) {
        yieldHook_();
    }
}

std::optional<std::string> TForm1::ChooseFolder() {
    if (!FolderDialog1->Execute()) {
        return std::nullopt;
    }
    return kst::win::Narrow(FolderDialog1->FolderPath());
}

void TForm1::CloseWindow() {
    DestroyWindow(hwnd_);
}

void TForm1::EndMessageLoop(int code) {
    PostQuitMessage(code);
}

void TForm1::OnCommand(int id, int code) {
    if (code != BN_CLICKED) {
        return;
    }
    if (id >= kFirstRadioItemId && id < kFirstRadioItemId + TRadioGroup::kCount) {
        RadioGroup1.UpdateTabStops();
        return;
    }
    if (id < kFirstControlId ||
        id >= kFirstControlId + static_cast<int>(kst::form::kControlCount)) {
        return;
    }
    switch (static_cast<Control>(id - kFirstControlId)) {
    case Control::Button1:
        Button1Click();
        break;
    case Control::Button2:
        Button2Click();
        break;
    case Control::Button3:
        Button3Click();
        break;
    case Control::CheckBox1:
        CheckBox1Click();
        break;
    default:
        break;
    }
}

// The focus leaves with the window and comes back to the same control; on
// first activation it goes to the first control in tab order.
void TForm1::OnActivate(bool active) {
    if (!active) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus)) {
            focus_ = focus;
        }
        return;
    }
    if (focus_ == nullptr || !IsWindowVisible(focus_) || !IsWindowEnabled(focus_)) {
        focus_ = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    }
    SetFocus(focus_);
}

void TForm1::OnDpiChanged(UINT dpi, const RECT& suggested) {
    Relayout(dpi);
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    SizeFrame();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DROPFILES:
        FormDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == Label1) {
            SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNHIGHLIGHT));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNHIGHLIGHT));
        }
        break;
    case WM_ACTIVATE:
        // A minimised window is activated without its controls.
        if (HIWORD(wParam) == 0) {
            OnActivate(LOWORD(wParam) != WA_INACTIVE);
        }
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CLOSE:
        if (controller_.CloseRequested()) {
            DestroyWindow(hwnd_);
        }
        return 0;
    case WM_DESTROY:
        if (endProgramOnClose_) {
            PostQuitMessage(0);
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

// A failure that escapes a handler ends that handler only: the box shows
// it and the dispatch, or the yield around it, goes on.
LRESULT CALLBACK TForm1::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* const created =
            static_cast<TForm1*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* const form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (form == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        form->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    try {
        return form->HandleMessage(message, wParam, lParam);
    } catch (const std::exception& failure) {
        kst::ui::ShowFailure(hwnd, failure);
        return 0;
    }
}

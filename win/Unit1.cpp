// SPDX-License-Identifier: MIT
#include "Unit1.h"

#include "Dpi.h"
#include "FolderDialog.h"
#include "MemoKeys.h"
#include "MessageBoxes.h"
#include "TaskbarList.h"
#include "WinText.h"
#include "kestrune_version.h"
#include "resource.h"

#include <commctrl.h>
#include <initguid.h>
#include <oleacc.h>
#include <shellapi.h>

#include <array>
#include <exception>
#include <system_error>

bool abortflag = false;
TForm1* Form1 = nullptr;

namespace {

constexpr wchar_t kWindowClass[] = L"TForm1";
constexpr DWORD kFrameStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr SIZE kClientSize{379, 349};
constexpr int kStatusBarHeight = 23;
constexpr int kFontHeight = 12;
constexpr int kComboHeight = 20;
constexpr int kComboListRows = 3;

// Ids above IDOK and IDCANCEL, which the keyboard navigation sends for
// Enter and Esc.
enum ControlId : int {
    kLabel1 = 100,
    kGauge1,
    kLabel3,
    kLabel4,
    kButton1,
    kMemo1,
    kRadioGroup1,
    kRadioItem0,
    kRadioItem1,
    kButton2,
    kEdit1,
    kStatusBar1,
    kCheckBox1,
    kEdit2,
    kCheckBox2,
    kCheckBox3,
    kButton3,
    kComboBox1,
};

constexpr RECT Design(int left, int top, int width, int height) {
    return {left, top, left + width, top + height};
}

// The radio group's frame and its rows, which Edit1 and Button2 share with
// the second item: that item ends where Edit1 begins.
constexpr RECT kRadioGroupRect = Design(8, 40, 361, 73);
constexpr RECT kEdit1Rect = Design(88, 80, 185, 20);
constexpr int kRadioMargin = 8;
constexpr int kRadioFirstRowTop = 16;
constexpr int kRadioRowPitch = 24;
constexpr int kRadioRowHeight = 20;

RECT RadioItemRect(int index) {
    const int left = kRadioGroupRect.left + kRadioMargin;
    const int top = kRadioGroupRect.top + kRadioFirstRowTop + index * kRadioRowPitch;
    const int right = index == 0 ? kRadioGroupRect.right - kRadioMargin : kEdit1Rect.left;
    return {left, top, right, top + kRadioRowHeight};
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

void Enable(HWND control, bool enabled) {
    EnableWindow(control, enabled ? TRUE : FALSE);
}

bool Ticked(HWND control) {
    return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Fields whose meaning no visible text of their own gives get a name for
// screen readers; labels and buttons are read by their text.
void NameForScreenReaders(const std::array<std::pair<HWND, const wchar_t*>, 4>& fields) {
    IAccPropServices* services = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&services)))) {
        return;
    }
    for (const auto& [control, name] : fields) {
        services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                 PROPID_ACC_NAME, name);
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

TForm1::TForm1(const kst::JobOptions& options) : options_(options) {
    Form1 = this;
    RegisterWindowClass(&TForm1::WindowProc);
    CreateWindowExW(0, kWindowClass, L"Kestrune", kFrameStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                    kClientSize.cx, kClientSize.cy, nullptr, nullptr, GetModuleHandleW(nullptr),
                    this);
    if (hwnd_ == nullptr) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "CreateWindowExW");
    }
    taskbar_.SetButton(std::make_unique<kst::win::TaskbarList>(hwnd_));
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

HWND TForm1::AddControl(const wchar_t* windowClass, const std::wstring& text, DWORD style,
                        DWORD exStyle, int id, RECT design, bool fitsToText) {
    const HWND control = CreateWindowExW(
        exStyle, windowClass, text.c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, design.left,
        design.top, design.right - design.left, design.bottom - design.top, hwnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    placements_.push_back({control, design, fitsToText});
    return control;
}

// Windows stacks siblings in creation order, the first on top, and the
// keyboard walks them in that order. So the controls are made in tab order;
// the frame of the radio group follows every control that lies over it, and
// the labels and the gauge come last, beneath everything.
void TForm1::CreateControls() {
    constexpr DWORD kShown = WS_VISIBLE;
    constexpr DWORD kTabStop = WS_TABSTOP | WS_GROUP;
    Button1 = AddControl(WC_BUTTONW, L"実行", kShown | kTabStop | BS_PUSHBUTTON, 0, kButton1,
                         Design(296, 8, 75, 25));
    Memo1 =
        AddControl(WC_EDITW, L"",
                   kShown | kTabStop | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                   WS_EX_CLIENTEDGE, kMemo1, Design(8, 192, 361, 105));
    SendMessageW(Memo1, EM_SETLIMITTEXT, 0, 0);
    kst::win::LetTabLeave(Memo1);
    RadioGroup1.SetItem(0, AddControl(WC_BUTTONW, L"読み込みファイルと同じ",
                                      kShown | kTabStop | BS_AUTORADIOBUTTON, 0, kRadioItem0,
                                      RadioItemRect(0)));
    RadioGroup1.SetItem(1, AddControl(WC_BUTTONW, L"指定する", kShown | BS_AUTORADIOBUTTON, 0,
                                      kRadioItem1, RadioItemRect(1)));
    Button2 = AddControl(WC_BUTTONW, L"参照", kShown | kTabStop | BS_PUSHBUTTON, 0, kButton2,
                         Design(280, 80, 75, 25));
    Edit1 = AddControl(WC_EDITW, L"", kShown | kTabStop | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, kEdit1,
                       kEdit1Rect);
    CheckBox1 =
        AddControl(WC_BUTTONW, L"先頭の0データも削除する", kShown | kTabStop | BS_AUTOCHECKBOX, 0,
                   kCheckBox1, Design(8, 120, 153, 17));
    Edit2 = AddControl(WC_EDITW, L"0", kShown | kTabStop | WS_DISABLED | ES_AUTOHSCROLL,
                       WS_EX_CLIENTEDGE, kEdit2, Design(256, 120, 49, 20));
    CheckBox2 =
        AddControl(WC_BUTTONW, L"先頭0出力", kShown | kTabStop | WS_DISABLED | BS_AUTOCHECKBOX, 0,
                   kCheckBox2, Design(176, 120, 73, 17));
    CheckBox3 = AddControl(WC_BUTTONW, L"ゼロだけを調べる", kShown | kTabStop | BS_AUTOCHECKBOX, 0,
                           kCheckBox3, Design(8, 144, 121, 17));
    Button3 = AddControl(WC_BUTTONW, L"中断", kTabStop | BS_PUSHBUTTON, 0, kButton3,
                         Design(296, 8, 73, 25));
    ComboBox1 = AddControl(WC_COMBOBOXW, L"", kShown | kTabStop | WS_VSCROLL | CBS_DROPDOWN, 0,
                           kComboBox1, Design(248, 144, 57, kComboHeight));
    for (const wchar_t* const row : {L"1", L"5", L"10"}) {
        SendMessageW(ComboBox1, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
    }
    SendMessageW(ComboBox1, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetWindowTextW(ComboBox1, L"1");
    StatusBar1.Create(hwnd_, kStatusBar1);
    RadioGroup1.SetFrame(
        AddControl(WC_BUTTONW, L"出力先", kShown | BS_GROUPBOX, 0, kRadioGroup1, kRadioGroupRect));
    RadioGroup1.SetItemIndex(0);
    Gauge1.Create(hwnd_, kGauge1);
    placements_.push_back({Gauge1.Handle(), Design(8, 168, 361, 17), false});
    Label4 = AddControl(WC_STATICW, L"バッファ(MB)", kShown | SS_LEFT | SS_NOPREFIX, 0, kLabel4,
                        Design(160, 144, 0, 0), true);
    Label3 = AddControl(WC_STATICW, L"Ver " KESTRUNE_VERSION_STRING L"  Kestrune project",
                        kShown | SS_LEFT | SS_NOPREFIX, 0, kLabel3, Design(168, 304, 0, 0), true);
    Label1 = AddControl(WC_STATICW, L"", kShown | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_NOPREFIX,
                        0, kLabel1, Design(8, 8, 281, 17));

    FolderDialog1 = std::make_unique<TFolderDialog>(hwnd_);
    FolderDialog1->SetTitle(L"フォルダーの選択");
    NameForScreenReaders({{{Edit1, L"出力先フォルダ"},
                           {Edit2, L"先頭0出力のバイト数"},
                           {ComboBox1, L"バッファ(MB)"},
                           {Memo1, L"ログ"}}});
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
            size.cy += Scale(kComboListRows * kComboHeight, dpi);
        }
        SetWindowPos(placement.control, nullptr, Scale(design.left, dpi), Scale(design.top, dpi),
                     size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    FitComboHeight(Scale(kComboHeight, dpi));

    const int width = Scale(kClientSize.cx, dpi);
    const int height = Scale(kClientSize.cy, dpi);
    StatusBar1.Place({0, height - Scale(kStatusBarHeight, dpi), width, height}, dpi);
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
                     height + kst::win::Scale(kComboListRows * kComboHeight, dpi_),
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

// A press while a job measures starts nothing: the job already running
// holds the input, and a second one inside it could only fail.
void TForm1::Button1Click() {
    if (jobRunning_) {
        return;
    }
    jobRunning_ = true;
    kst::TaskbarJob taskbarJob(taskbar_);
    try {
        kst::RunTrimJob(*this, options_);
    } catch (const std::exception& failure) {
        taskbarJob.Failed();
        kst::ui::ShowFailure(hwnd_, failure);
    }
    JobReturned();
}

void TForm1::Button2Click() {
    if (FolderDialog1->Execute()) {
        SetWindowTextW(Edit1, FolderDialog1->FolderPath().c_str());
    }
}

void TForm1::Button3Click() {
    abortflag = true;
}

void TForm1::CheckBox1Click() {
    if (Ticked(CheckBox1)) {
        Enable(CheckBox2, true);
        Enable(Edit2, true);
    } else {
        SendMessageW(CheckBox2, BM_SETCHECK, BST_UNCHECKED, 0);
        Enable(CheckBox2, false);
        Enable(Edit2, false);
    }
}

// A quit or close that arrived during the job takes effect now.
void TForm1::JobReturned() {
    jobRunning_ = false;
    if (quitPending_) {
        quitPending_ = false;
        PostQuitMessage(quitCode_);
    }
    if (closeDeferred_) {
        closeDeferred_ = false;
        DestroyWindow(hwnd_);
    }
}

std::string TForm1::ReadField(kst::Field field) {
    switch (field) {
    case kst::Field::InputPath:
        return kst::win::Narrow(kst::win::WindowText(Label1));
    case kst::Field::OutputFolder:
        return kst::win::Narrow(kst::win::WindowText(Edit1));
    case kst::Field::PadText:
        return kst::win::Narrow(kst::win::WindowText(Edit2));
    case kst::Field::ChunkText:
        return kst::win::Narrow(kst::win::WindowText(ComboBox1));
    }
    return {};
}

bool TForm1::IsOn(kst::Option option) {
    switch (option) {
    case kst::Option::TrimLeading:
        return Ticked(CheckBox1);
    case kst::Option::WritePad:
        return Ticked(CheckBox2);
    case kst::Option::MeasureOnly:
        return Ticked(CheckBox3);
    }
    return false;
}

kst::OutputPlace TForm1::OutputChoice() {
    return RadioGroup1.ItemIndex() == 0 ? kst::OutputPlace::BesideInput
                                        : kst::OutputPlace::InFolder;
}

bool TForm1::AbortRequested() {
    return abortflag;
}

void TForm1::ClearAbortRequest() {
    abortflag = false;
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
    taskbar_.GaugeMoved(percent);
}

// The focus follows the swap, so the keyboard keeps a button to press.
void TForm1::ShowAbortButton(bool copying) {
    const HWND shown = copying ? Button3 : Button1;
    const HWND hidden = copying ? Button1 : Button3;
    const bool hadFocus = GetFocus() == hidden;
    ShowWindow(shown, SW_SHOW);
    ShowWindow(hidden, SW_HIDE);
    if (hadFocus) {
        SetFocus(shown);
    }
}

void TForm1::Inform(std::string_view text) {
    kst::ui::ShowInformation(hwnd_, kst::win::Widen(text));
}

// Every pending message, as the message loop would handle it; a quit is
// kept for when the job has returned.
void TForm1::Yield() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quitPending_ = true;
            quitCode_ = static_cast<int>(msg.wParam);
            continue;
        }
        Dispatch(msg);
    }
    if (yieldHook_) {
        yieldHook_();
    }
}

void TForm1::OnCommand(int id, int code) {
    if (code != BN_CLICKED) {
        return;
    }
    switch (id) {
    case kButton1:
        Button1Click();
        break;
    case kButton2:
        Button2Click();
        break;
    case kButton3:
        Button3Click();
        break;
    case kCheckBox1:
        CheckBox1Click();
        break;
    case kRadioItem0:
    case kRadioItem1:
        RadioGroup1.UpdateTabStops();
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
        if (jobRunning_) {
            closeDeferred_ = true;
        } else {
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

// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <shellapi.h>
// winbase.h's obsolete Yield() macro would rename JobHost::Yield.
#undef Yield

#include "FormEvents.h"
#include "FormView.h"
#include "Gauge.h"
#include "RadioGroup.h"
#include "StatusBar.h"
#include "trimjob.h"

#include <array>
#include <functional>
#include <memory>
#include <vector>

class TFolderDialog;

// The main window: Windows' own controls, made from kst::form's table, over
// the trim job; its events go to kst::form::FormController.
class TForm1 : public kst::form::FormView, public kst::form::FormEvents {
public:
    // options: the job's settings; tests use small chunk units.
    explicit TForm1(const kst::JobOptions& options = {});
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    HWND Handle() const { return hwnd_; }
    // Centres the window on the desktop the first time and shows it.
    void Show(int showCommand = SW_SHOWNORMAL);
    // Destroying the window then ends the message loop.
    void EndProgramOnClose() { endProgramOnClose_ = true; }
    HWND Hwnd(kst::form::Control control) const;
    UINT Dpi() const { return dpi_; }

    // Hands msg to the window's keyboard navigation or dispatches it.
    void Dispatch(MSG& msg);
    // Called at every yield of a running job, after the pending messages.
    void SetYieldHook(std::function<void()> hook) { yieldHook_ = std::move(hook); }

    HWND Label1 = nullptr;
    TGauge Gauge1;
    HWND Label3 = nullptr;
    HWND Label4 = nullptr;
    HWND Button1 = nullptr;
    HWND Memo1 = nullptr;
    TRadioGroup RadioGroup1;
    HWND Button2 = nullptr;
    HWND Edit1 = nullptr;
    TStatusBar StatusBar1;
    HWND CheckBox1 = nullptr;
    HWND Edit2 = nullptr;
    HWND CheckBox2 = nullptr;
    HWND CheckBox3 = nullptr;
    HWND Button3 = nullptr;
    HWND ComboBox1 = nullptr;
    std::unique_ptr<TFolderDialog> FolderDialog1;

    void FormCreate();
    void FormDropFiles(HDROP drop);

    KESTRUNE_FORM_VIEW_MEMBERS;

private:
    // A control and where the layout puts it at 96 dots per inch.
    struct Placement {
        HWND control;
        RECT design;     // left, top, right, bottom
        bool fitsToText; // sized to its text: only left and top count
    };

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code);
    void OnActivate(bool active);
    void OnDpiChanged(UINT dpi, const RECT& suggested);

    void CreateControls();
    void CreateControl(const kst::form::ControlRow& entry);
    void CreateRadioItems(const kst::form::ControlRow& entry);
    HWND AddControl(const wchar_t* windowClass, std::string_view text, DWORD style, DWORD exStyle,
                    int id, RECT design, bool fitsToText = false);
    void Relayout(UINT dpi);
    void FitComboHeight(int height) const;
    void SizeFrame();
    void CentreOnDesktop();

    HWND hwnd_ = nullptr;
    HWND focus_ = nullptr;
    HFONT font_ = nullptr; // owned; the window font at dpi_
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    std::vector<Placement> placements_;
    std::array<HWND, kst::form::kControlCount> controls_{};
    std::function<void()> yieldHook_;
    bool placed_ = false;
    bool endProgramOnClose_ = false;
};

// The main window, set as soon as its construction begins.
extern TForm1* Form1;

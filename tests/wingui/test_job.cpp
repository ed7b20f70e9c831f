// SPDX-License-Identifier: MIT
// Execute on real files, driven through the window's own controls.
#include "TaskbarList.h"
#include "WinGuiSupport.h"
#include "WinText.h"
#include "recordingtaskbar.h"

#include <algorithm>
#include <fstream>

namespace fs = std::filesystem;
using kst::ui::BoxKind;

namespace {

// 1,000-byte chunks (ComboBox1's "1" times the tests' unit).
struct JobRow {
    const char* name;
    Bytes input;
    std::vector<HWND TForm1::*> ticks; // clicked in this order before Execute
    std::wstring pad;                  // Edit2's text
    bool intoFolder;                   // 指定する with an existing folder
    std::vector<std::wstring> figures; // panels 0, 1, 2
    std::vector<std::wstring> stages;  // log lines after the size line
    std::size_t keptFrom;              // the output is pad zeros + input[keptFrom, keptTo)
    std::size_t keptTo;                // 0: no output file
};

Bytes Data(std::size_t leadingZeros, std::size_t data, std::size_t trailingZeros) {
    Bytes bytes(leadingZeros + data + trailingZeros, 0);
    for (std::size_t at = 0; at < data; ++at) {
        bytes[leadingZeros + at] = static_cast<std::uint8_t>(1 + at % 251);
    }
    return bytes;
}

const std::wstring kTail = L"末尾0データサイズの検出中";
const std::wstring kFront = L"先頭0データサイズの検出中";
const std::wstring kCopy = L"0データ削除ファイル作成中";

using JobTest = FormTest;

TEST_F(JobTest, ExecuteMeasuresAndCopies) {
    const std::vector<JobRow> rows{
        {"measure only",
         Data(0, 1300, 1200),
         {&TForm1::CheckBox3},
         L"0",
         false,
         {L"", L"Tail 0=1,200", L"Out Size=1,300"},
         {kTail},
         0,
         0},
        {"trimmed copy beside the input",
         Data(0, 1300, 1200),
         {},
         L"0",
         false,
         {L"", L"Tail 0=1,200", L"Out Size=1,300"},
         {kTail, kCopy, L"終わり"},
         0,
         1300},
        {"leading run too, into a folder",
         Data(2100, 500, 10),
         {&TForm1::CheckBox1},
         L"0",
         true,
         {L"Front 0=2,100", L"Tail 0=10", L"Out Size=500"},
         {kFront, kTail, kCopy, L"終わり"},
         2100,
         2600},
        {"pad ahead of the kept bytes",
         Data(40, 2000, 3),
         {&TForm1::CheckBox1, &TForm1::CheckBox2},
         L"7",
         false,
         {L"Front 0=40", L"Tail 0=3", L"Out Size=2,000"},
         {kFront, kTail, kCopy, L"先頭0出力=7", L"終わり"},
         40,
         2040},
        {"nothing to trim",
         Data(0, 900, 0),
         {},
         L"0",
         false,
         {L"", L"Tail 0=0", L""},
         {kTail, L"0データはありません"},
         0,
         0},
    };
    for (const JobRow& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        const fs::path input = DropInput("ダンプ１.bin", row.input);
        const fs::path folder = dir_->Path() / L"出力";
        if (row.intoFolder) {
            fs::create_directory(folder);
            Click(Form().RadioGroup1.Item(1));
            Type(Form().Edit1, folder.wstring());
        }
        for (HWND TForm1::*const box : row.ticks) {
            Click(Form().*box);
        }
        Type(Form().Edit2, row.pad);
        Click(Form().Button1);

        EXPECT_TRUE(recorder_.boxes.empty());
        std::vector<std::wstring> log{input.wstring() + L"のサイズは " +
                                      std::to_wstring(row.input.size())};
        log.insert(log.end(), row.stages.begin(), row.stages.end());
        EXPECT_EQ(Text(Form().Memo1), LogOf(log));
        for (int panel = 0; panel < 3; ++panel) {
            EXPECT_EQ(Form().StatusBar1.PanelText(panel), row.figures[panel]) << panel;
        }
        EXPECT_FALSE(Form().JobRunning());
        EXPECT_TRUE(Shown(Form().Button1));
        EXPECT_FALSE(Shown(Form().Button3));
        const fs::path output =
            row.intoFolder ? OutputInFolder(folder, input) : OutputBeside(input);
        if (row.keptTo == 0) {
            EXPECT_FALSE(fs::exists(output));
            continue;
        }
        Bytes expected(static_cast<std::size_t>(std::stoi(row.pad)), 0);
        expected.insert(expected.end(), row.input.begin() + static_cast<long>(row.keptFrom),
                        row.input.begin() + static_cast<long>(row.keptTo));
        EXPECT_EQ(ReadAll(output), expected);
    }
}

// Boxes instead of figures: what the job reports, and the window idle after.
TEST_F(JobTest, NoticesAndFailuresGoToTheirBoxes) {
    struct Row {
        const char* name;
        std::function<void(TForm1& form, const fs::path& dir)> arrange;
        BoxKind kind;
        const wchar_t* text;
    };
    const std::vector<Row> rows{
        {"missing output folder",
         [](TForm1& form, const fs::path& dir) {
             Click(form.RadioGroup1.Item(1));
             Type(form.Edit1, (dir / L"無い").wstring());
         },
         BoxKind::Information, L"出力先フォルダを指定してください"},
        {"chunk size no integer",
         [](TForm1& form, const fs::path&) { Type(form.ComboBox1, L"1 "); }, BoxKind::Failure,
         L"'1 ' は整数ではありません."},
        {"nothing dropped", [](TForm1& form, const fs::path&) { Type(form.Label1, L""); },
         BoxKind::Failure, L"ファイル  は開けません."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        recorder_.boxes.clear();
        DropInput("入力.bin", Data(0, 10, 10));
        row.arrange(Form(), dir_->Path());
        Click(Form().Button1);
        ASSERT_EQ(recorder_.boxes.size(), 1u);
        EXPECT_EQ(recorder_.boxes[0].kind, row.kind);
        EXPECT_EQ(recorder_.boxes[0].text, row.text);
        EXPECT_EQ(Text(Form().Memo1), L"");
        EXPECT_FALSE(Form().JobRunning());
    }
}

// The shell's task-bar interface is there under Wine as on Windows; the
// window shows a job on its button from 0 until the job has returned, a
// failure while its box is up.
TEST_F(JobTest, TaskbarButtonFollowsTheJob) {
    kst::win::TaskbarList shell(Form().Handle());
    ASSERT_TRUE(shell.Created());
    shell.ShowProgress(kst::TaskbarState::Error, 40);
    shell.ShowProgress(kst::TaskbarState::None, 0);

    std::vector<std::string> sent;
    Form().Taskbar().SetButton(std::make_unique<RecordingTaskbar>(sent));
    Click(Form().Button1); // nothing dropped: the input fails to open
    EXPECT_EQ(sent, (std::vector<std::string>{"normal 0", "error 0", "none"}));

    sent.clear();
    DropInput("進み.bin", Data(0, 1300, 1200));
    Click(Form().CheckBox3);
    Click(Form().Button1);
    // Three chunks scanned from the end, where the gauge counts down.
    EXPECT_EQ(sent, (std::vector<std::string>{"normal 0", "normal 100", "normal 66", "normal 33",
                                              "none"}));
}

TEST_F(JobTest, InputHeldByAnotherProgramFailsToOpen) {
    const fs::path input = DropInput("使用中.bin", Data(0, 10, 10));
    const HANDLE held = CreateFileW(input.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Click(Form().Button1);
    CloseHandle(held);
    ASSERT_EQ(recorder_.boxes.size(), 1u);
    EXPECT_EQ(recorder_.boxes[0].kind, BoxKind::Failure);
    EXPECT_EQ(recorder_.boxes[0].text, L"ファイル " + input.wstring() + L" は開けません.");
}

// What a user does while the job yields, done from the job's yield.
TEST_F(JobTest, DuringTheJob) {
    const fs::path input = DropInput("長い.bin", Data(0, 9000, 500));
    const fs::path output = OutputBeside(input);

    SCOPED_TRACE("Abort while copying");
    int copyingYields = 0;
    Form().SetYieldHook([&] {
        if (Shown(Form().Button3)) {
            EXPECT_FALSE(Shown(Form().Button1));
            EXPECT_EQ(GetFocus(), Form().Button3); // the keyboard keeps a button

            if (++copyingYields == 3) {
                Click(Form().Button3);
                Click(Form().Button3);
            }
        }
    });
    Click(Form().Button1);
    EXPECT_EQ(copyingYields, 3);
    EXPECT_EQ(Text(Form().Memo1).substr(Text(Form().Memo1).size() - 8), L"中断しました\r\n");
    EXPECT_EQ(fs::file_size(output), 3000u);
    EXPECT_TRUE(Shown(Form().Button1));
    EXPECT_FALSE(Shown(Form().Button3));
    EXPECT_EQ(GetFocus(), Form().Button1);

    SCOPED_TRACE("Execute, a drop and the options while measuring");
    int measuringYields = 0;
    Form().SetYieldHook([&] {
        if (Shown(Form().Button1) && ++measuringYields == 1) {
            Click(Form().Button1); // no second job: it could not open the held input
            DropFiles(Form().Handle(), {L"C:\\次.bin"});
            Click(Form().CheckBox3); // read after the measurement: counts
        }
    });
    Click(Form().Button1);
    EXPECT_TRUE(recorder_.boxes.empty());
    EXPECT_EQ(Text(Form().Label1), L"C:\\次.bin");
    EXPECT_EQ(Text(Form().Memo1),
              LogOf({input.wstring() + L"のサイズは 9500", L"末尾0データサイズの検出中"}));
}

// Tab pressed while the job copies moves the focus as in the message loop:
// round the cycle from 中断, which stands in for 実行, back to it.
TEST_F(JobTest, TabWalksTheCycleDuringTheCopy) {
    DropInput("キー.bin", Data(0, 20000, 100));
    std::vector<HWND> cycle;
    std::vector<HWND> reached;
    Form().SetYieldHook([&] {
        if (!Shown(Form().Button3) || reached.size() > cycle.size()) {
            return;
        }
        if (cycle.empty()) {
            SetFocus(Form().Button3);
            cycle = TabCycle(Form().Handle(), Form().Button3);
        }
        reached.push_back(FocusedControl(Form().Handle()));
        if (reached.size() <= cycle.size()) {
            PressKey(VK_TAB);
        }
    });
    Click(Form().Button1);
    ASSERT_FALSE(cycle.empty()) << "no copy phase";
    EXPECT_NE(std::find(cycle.begin(), cycle.end(), Form().Memo1), cycle.end());
    cycle.push_back(Form().Button3);
    EXPECT_EQ(reached, cycle);
}

TEST_F(JobTest, CloseAndQuitWaitForTheJob) {
    const fs::path input = DropInput("閉じる.bin", Data(0, 5000, 100));
    const HWND window = Form().Handle();
    Form().SetYieldHook([&] {
        PostMessageW(window, WM_CLOSE, 0, 0);
        PostQuitMessage(7);
        Form().SetYieldHook({});
    });
    Click(Form().Button1);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(fs::file_size(OutputBeside(input)), 5000u); // the job ran to its end
    MSG quit{};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 7u);
}

} // namespace

// SPDX-License-Identifier: MIT
#include "FolderDialog.h"
#include "chooserdriver.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace {

namespace fs = std::filesystem;

// What the chooser shows as it opens.
struct Opening {
    std::wstring folder = L"not read"; // label of the highlighted folder; empty for none
    std::wstring status = L"not read";
};

// Rows print as their names.
template <typename Row>
requires requires(const Row& row) {
    row.name;
}
void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

class WinFolderDialog : public testing::Test {
protected:
    TempDir temp;
    OwnerWindow owner;
    TFolderDialog dialog{owner.Handle()};

    void SetUp() override {
        fs::create_directories(temp.Path() / "a" / "b");
        ASSERT_NE(owner.Handle(), nullptr);
    }
    std::wstring Folder(const fs::path& relative) const {
        return (temp.Path() / relative).make_preferred().wstring();
    }

    ChooserRun Browse(const std::function<void(const Chooser&)>& drive) {
        const ChooserRun run = ::Browse(dialog, owner.Handle(), drive);
        EXPECT_TRUE(run.found) << "no chooser owned by the window appeared";
        return run;
    }
    // Confirms the folder at path; an empty path confirms the computer.
    bool Confirm(const std::wstring& path) {
        return Browse([&path](const Chooser& chooser) {
                   EXPECT_TRUE(path.empty() ? chooser.HighlightComputer()
                                            : chooser.Highlight(path));
                   chooser.Press(IDOK);
               })
            .result;
    }
    Opening OpenAndCancel() {
        Opening seen;
        const ChooserRun run = Browse([&seen](const Chooser& chooser) {
            // Nothing highlighted and the computer highlighted both mean no preselection.
            seen = {chooser.ComputerHighlighted() ? L"" : chooser.HighlightedLabel(),
                    chooser.StatusText()};
            chooser.Press(IDCANCEL);
        });
        EXPECT_FALSE(run.result);
        return seen;
    }
};

struct TitleRow {
    const char* name;
    bool set;
    const wchar_t* title;
};

class WinFolderTitle : public WinFolderDialog, public testing::WithParamInterface<TitleRow> {};

TEST_P(WinFolderTitle, ShownAboveTheTree) {
    if (GetParam().set) {
        dialog.SetTitle(GetParam().title);
    }
    EXPECT_EQ(dialog.Title(), GetParam().title);
    std::wstring shown = L"not shown";
    Browse([&shown](const Chooser& chooser) { shown = chooser.TitleText(); });
    EXPECT_EQ(shown, GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(Title, WinFolderTitle,
                         testing::Values(TitleRow{"Default", false, L"フォルダーの選択"},
                                         TitleRow{"Empty", true, L""},
                                         TitleRow{"OwnText", true, L"出力先"}),
                         [](const auto& info) { return std::string(info.param.name); });

enum class Before { Nothing, ConfirmB, ConfirmGoneThenDelete };

struct OpeningRow {
    const char* name;
    Before before;
    const wchar_t* folder; // label of the preselected folder, "" for none
};

class WinFolderOpening : public WinFolderDialog, public testing::WithParamInterface<OpeningRow> {};

// Only the last confirmed folder that still exists is preselected; the
// status line is empty either way.
TEST_P(WinFolderOpening, PreselectsTheLastConfirmedFolder) {
    const OpeningRow& row = GetParam();
    if (row.before == Before::ConfirmB) {
        ASSERT_TRUE(Confirm(Folder("a/b")));
    }
    if (row.before == Before::ConfirmGoneThenDelete) {
        fs::create_directory(temp.Path() / "gone");
        ASSERT_TRUE(Confirm(Folder("gone")));
        fs::remove(temp.Path() / "gone");
    }
    const Opening seen = OpenAndCancel();
    EXPECT_EQ(seen.folder, row.folder);
    EXPECT_EQ(seen.status, L"");
}

INSTANTIATE_TEST_SUITE_P(Opening, WinFolderOpening,
                         testing::Values(OpeningRow{"FirstBrowse", Before::Nothing, L""},
                                         OpeningRow{"LastConfirmedFolder", Before::ConfirmB, L"b"},
                                         OpeningRow{"ConfirmedFolderDeleted",
                                                    Before::ConfirmGoneThenDelete, L""}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ConfirmRow {
    const char* name;
    bool folderBefore; // folder a confirmed first
    const wchar_t*
        item; // highlighted, relative to the temp folder unless absolute; "" for the computer
    int button;
    bool result;
    const wchar_t* folderPath; // expected, relative like item; "" for empty
};

class WinFolderConfirm : public WinFolderDialog, public testing::WithParamInterface<ConfirmRow> {
protected:
    std::wstring Resolve(const std::wstring& path) const {
        return path.empty() || fs::path(path).is_absolute() ? path : Folder(path);
    }
};

TEST_P(WinFolderConfirm, ReplacesTheFolderOnlyWithAPathConfirmed) {
    const ConfirmRow& row = GetParam();
    if (row.folderBefore) {
        ASSERT_TRUE(Confirm(Folder("a")));
    }
    const std::wstring item = Resolve(row.item);
    const ChooserRun run = Browse([&](const Chooser& chooser) {
        EXPECT_TRUE(item.empty() ? chooser.HighlightComputer() : chooser.Highlight(item))
            << "status line never showed the highlighted item";
        chooser.Press(row.button);
    });
    EXPECT_EQ(run.result, row.result);
    EXPECT_EQ(dialog.FolderPath(), Resolve(row.folderPath));
}

INSTANTIATE_TEST_SUITE_P(
    Confirm, WinFolderConfirm,
    testing::Values(ConfirmRow{"Folder", false, L"a/b", IDOK, true, L"a/b"},
                    ConfirmRow{"FolderAfterFolder", true, L"a/b", IDOK, true, L"a/b"},
                    ConfirmRow{"DriveRootKeepsItsBackslash", true, L"C:\\", IDOK, true, L"C:\\"},
                    ConfirmRow{"ComputerNothingConfirmed", false, L"", IDOK, true, L""},
                    ConfirmRow{"ComputerAfterFolder", true, L"", IDOK, true, L"a"},
                    ConfirmRow{"CancelKeepsTheFolder", true, L"a/b", IDCANCEL, false, L"a"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

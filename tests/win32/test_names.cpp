// SPDX-License-Identifier: MIT
// UTF-16 names and drive-letter paths.
#include "jobfixture.h"
#include "winfiles.h"

#include <algorithm>

namespace {

using kst::Field;

std::filesystem::path U8(const char* text) {
    return kst::PathFromUtf8(text);
}

// Names whose Shift-JIS second byte is "\" (表, ソ) or that are all kana
// (データ) go through the job and come back as the same UTF-16 names.
struct NameRow {
    const char* name;
    const char* folder; // below the temp folder, "" for none
    const char* input;
    const wchar_t* output;
};

class JapaneseName : public JobTest, public testing::WithParamInterface<NameRow> {};

TEST_P(JapaneseName, RoundTrips) {
    const NameRow& row = GetParam();
    const std::filesystem::path folder = dir.Path() / U8(row.folder);
    std::filesystem::create_directories(folder);
    const Bytes bytes = Filled(25, {1, 12});
    input = folder / U8(row.input);
    std::filesystem::copy_file(dir.Write("src", bytes), input);
    host.texts[Field::InputPath] = Utf8(input);

    const kst::JobResult result = Run();
    EXPECT_EQ(result.ending, kst::JobEnding::Finished);
    EXPECT_EQ(result.output, folder / row.output);
    EXPECT_EQ(host.log.front(), SizeLine(input, 25));
    const std::vector<std::wstring> names = NamesIn(folder);
    EXPECT_NE(std::find(names.begin(), names.end(), row.output), names.end());
    EXPECT_EQ(ReadAll(folder / row.output), Bytes(bytes.begin(), bytes.begin() + 13));
}

INSTANTIATE_TEST_SUITE_P(
    Names, JapaneseName,
    testing::Values(NameRow{"Hyou", "", "表.img", L"表(KST).img"},
                    NameRow{"So", "", "ソ.bin", L"ソ(KST).bin"},
                    NameRow{"DataFolder", "データ", "表ソ.dat", L"表ソ(KST).dat"},
                    NameRow{"DotsEverywhere", "データ.d", "ソース.tar.gz", L"ソース.tar(KST).gz"},
                    NameRow{"NoExtension", "表", "データ", L"データ(KST)"}),
    [](const auto& info) { return std::string(info.param.name); });

// Output naming with Windows separators: "\", "/" and the drive's ":".
struct PathRow {
    const char* name;
    const char* folder; // Edit1, or "" for beside the input
    const char* input;
    const char* output;
};

class WindowsPath : public testing::TestWithParam<PathRow> {};

TEST_P(WindowsPath, NamesTheOutput) {
    const PathRow& row = GetParam();
    const std::string output = *row.folder == '\0' ? kst::OutputBesideInput(row.input)
                                                   : kst::OutputInFolder(row.folder, row.input);
    EXPECT_EQ(output, row.output);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, WindowsPath,
    testing::Values(
        PathRow{"Plain", "", "C:\\data\\disk.img", "C:\\data\\disk(KST).img"},
        PathRow{"TwoDots", "", "C:\\data\\a.tar.gz", "C:\\data\\a.tar(KST).gz"},
        PathRow{"NoExtension", "", "C:\\data\\README", "C:\\data\\README(KST)"},
        PathRow{"OnlyExtension", "", "C:\\data\\.img", "C:\\data\\(KST).img"},
        PathRow{"DotInFolderOnly", "", "C:\\da.ta\\README", "C:\\da.ta\\README(KST)"},
        PathRow{"DriveRelative", "", "C:disk.img", "C:disk(KST).img"},
        PathRow{"ForwardSlash", "", "C:/data/disk.img", "C:/data/disk(KST).img"},
        PathRow{"Share", "", "\\\\host\\share\\表.img", "\\\\host\\share\\表(KST).img"},
        PathRow{"ChosenFolder", "D:\\out", "C:\\data\\disk.img", "D:\\out\\disk(KST).img"},
        PathRow{"DriveRoot", "D:\\", "C:\\data\\disk.img", "D:\\\\disk(KST).img"},
        PathRow{"JapaneseFolder", "D:\\データ", "C:\\ソ\\表.img", "D:\\データ\\表(KST).img"}),
    [](const auto& info) { return std::string(info.param.name); });

// A chosen folder ending in "\" gives two in a row, which Windows takes as one.
TEST_F(JobTest, ChosenFolderEndingInBackslash) {
    const Bytes bytes = Filled(25, {0, 5});
    Drop("in.bin", bytes);
    host.place = kst::OutputPlace::InFolder;
    host.texts[Field::OutputFolder] = Utf8(dir.Path()) + "\\";
    const kst::JobResult result = Run();
    EXPECT_EQ(result.ending, kst::JobEnding::Finished);
    EXPECT_EQ(Utf8(result.output), Utf8(dir.Path()) + "\\\\in(KST).bin");
    EXPECT_EQ(ReadAll(dir.Path() / "in(KST).bin"), Filled(6, {0, 5}));
}

} // namespace

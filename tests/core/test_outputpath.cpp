// SPDX-License-Identifier: MIT
#include "outputpath.h"
#include "testfiles.h"

#include <gtest/gtest.h>

namespace {

struct NamingRow {
    const char* name;
    const char* input;
    const char* beside;
};

class OutputBeside : public testing::TestWithParam<NamingRow> {};

TEST_P(OutputBeside, InsertsMarkBeforeExtension) {
    EXPECT_EQ(kst::OutputBesideInput(GetParam().input), GetParam().beside);
    const kst::PathParts parts = kst::SplitPath(GetParam().input);
    EXPECT_EQ(parts.folder + parts.base + parts.ext, GetParam().input);
}

INSTANTIATE_TEST_SUITE_P(
    Names, OutputBeside,
    testing::Values(NamingRow{"Plain", "/data/disk.img", "/data/disk(KST).img"},
                    NamingRow{"TwoDots", "/data/a.tar.gz", "/data/a.tar(KST).gz"},
                    NamingRow{"NoExtension", "/data/README", "/data/README(KST)"},
                    NamingRow{"OnlyExtension", "/data/.img", "/data/(KST).img"},
                    NamingRow{"DotInFolderOnly", "/da.ta/README", "/da.ta/README(KST)"},
                    NamingRow{"NoFolder", "disk.img", "disk(KST).img"},
                    NamingRow{"Empty", "", "(KST)"},
                    NamingRow{"TrailingDot", "/d/name.", "/d/name(KST)."},
                    // Names whose Shift-JIS second byte would be a backslash.
                    NamingRow{"Hyou", "/データ/表.img", "/データ/表(KST).img"},
                    NamingRow{"Sofuto", "/d/ソフト.bin", "/d/ソフト(KST).bin"}),
    [](const auto& info) { return std::string(info.param.name); });

#ifndef _WIN32
// Windows joins with a backslash (tests/win32).
TEST(OutputInFolder, JoinsAsTheyStand) {
    EXPECT_EQ(kst::OutputInFolder("/out", "/data/disk.img"), "/out/disk(KST).img");
    EXPECT_EQ(kst::OutputInFolder("/out/", "/data/表.img"), "/out//表(KST).img");
    EXPECT_EQ(kst::OutputInFolder("/", "/data/x"), "//x(KST)");
}
#endif

TEST(DirectoryExists, OnlyExistingFolders) {
    const TempDir dir;
    const auto file = dir.Write("f.bin", {1});
    std::filesystem::create_directory(dir.Path() / u8"出力");
    EXPECT_TRUE(kst::DirectoryExists(Utf8(dir.Path())));
    EXPECT_TRUE(kst::DirectoryExists(Utf8(dir.Path() / u8"出力")));
    EXPECT_FALSE(kst::DirectoryExists(""));
    EXPECT_FALSE(kst::DirectoryExists(Utf8(file)));
    EXPECT_FALSE(kst::DirectoryExists(Utf8(dir.Path() / "missing")));
}

} // namespace

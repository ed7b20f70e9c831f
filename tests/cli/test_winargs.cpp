// SPDX-License-Identifier: MIT
// The Windows command line's splitting and wildcard expansion, which are
// plain logic and run on every system.
#include "winargs.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

namespace {

using kst::cli::CommandArgument;
using kst::cli::FolderEntry;

using Split = std::vector<std::pair<std::string, bool>>; // text, pattern

struct SplitRow {
    const char* name;
    std::string line;
    Split args; // after the program's name
};
void PrintTo(const SplitRow& row, std::ostream* os) {
    *os << row.name;
}

class SplitTest : public testing::TestWithParam<SplitRow> {};

TEST_P(SplitTest, GivesTheRuntimesArguments) {
    const std::vector<CommandArgument> split = kst::cli::SplitCommandLine(GetParam().line);
    ASSERT_FALSE(split.empty());
    Split args;
    for (auto it = split.begin() + 1; it != split.end(); ++it) {
        args.emplace_back(it->text, it->pattern);
    }
    EXPECT_EQ(args, GetParam().args);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, SplitTest,
    testing::Values(
        SplitRow{"Pattern", "k.exe --json *.bin", {{"--json", false}, {"*.bin", true}}},
        SplitRow{"QuotedPatternIsLiteral",
                 "k.exe \"*.bin\" dump?.img",
                 {{"*.bin", false}, {"dump?.img", true}}},
        SplitRow{"QuotedFolderOfAPattern", "k.exe \"my roms\"\\*.bin", {{"my roms\\*.bin", true}}},
        SplitRow{"QuotedStarInTheName", "k.exe roms\\a\"*\".bin", {{"roms\\a*.bin", false}}},
        SplitRow{"WildcardOnlyInTheFolder", "k.exe r*\\a.bin", {{"r*\\a.bin", false}}},
        SplitRow{"JapanesePattern", "k.exe ロム*.bin", {{"ロム*.bin", true}}},
        SplitRow{"BlanksAndTabs", "k.exe \t a   b\t", {{"a", false}, {"b", false}}},
        SplitRow{"EmptyQuoted", "k.exe \"\" x", {{"", false}, {"x", false}}},
        SplitRow{
            "BackslashesAloneAreLiteral", "k.exe a\\\\b c\\", {{"a\\\\b", false}, {"c\\", false}}},
        SplitRow{
            "EvenBackslashesBeforeAQuote", "k.exe \"a\\\\\" b", {{"a\\", false}, {"b", false}}},
        SplitRow{"OddBackslashesQuoteAQuote", "k.exe a\\\\\\\"b", {{"a\\\"b", false}}},
        SplitRow{"DoubledQuoteInsideQuotes", "k.exe \"a\"\"b c\"", {{"a\"b c", false}}},
        SplitRow{"UnclosedQuoteRunsToTheEnd", "k.exe \"a b", {{"a b", false}}},
        SplitRow{"ProgramNameKeepsBackslashes", "\"C:\\Program Files\\k.exe\" x", {{"x", false}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SplitTest, ProgramNameEndsAtABlankOutsideQuotes) {
    const auto split = kst::cli::SplitCommandLine("\"C:\\Program Files\\k\".exe\\ x");
    ASSERT_EQ(split.size(), 2U);
    EXPECT_EQ(split[0].text, "C:\\Program Files\\k.exe\\");
}

struct MatchRow {
    std::string pattern;
    std::string name;
    bool matches;
};
void PrintTo(const MatchRow& row, std::ostream* os) {
    *os << row.pattern << " ~ " << row.name;
}

class WildcardTest : public testing::TestWithParam<MatchRow> {};

TEST_P(WildcardTest, MatchesAsWindowsNamesDo) {
    EXPECT_EQ(kst::cli::MatchesWildcard(GetParam().pattern, GetParam().name), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(
    Names, WildcardTest,
    testing::Values(MatchRow{"*.bin", "a.bin", true}, MatchRow{"*.bin", "A.BIN", true},
                    MatchRow{"*.bin", "a.bin.txt", false}, MatchRow{"*.bin", ".bin", true},
                    MatchRow{"dump?.img", "dump1.img", true},
                    MatchRow{"dump?.img", "dump10.img", false},
                    MatchRow{"dump?.img", "dump.img", false}, MatchRow{"a*b*c", "aXbYbc", true},
                    MatchRow{"a*b*c", "aXbYcd", false}, MatchRow{"*", "x", true},
                    MatchRow{"?.bin", "あ.bin", true}, MatchRow{"ロム*", "ロム1.bin", true},
                    MatchRow{"ロム*", "ロ1.bin", false}, MatchRow{"*.ÄB", "x.äb", true},
                    MatchRow{"Ĺ*", "ĺx", true}, MatchRow{"Д?", "дё", true},
                    MatchRow{"*.bin", "x.bim", false}));

// A listing of two folders; any other cannot be listed.
std::optional<std::vector<FolderEntry>> FakeListing(const std::string& folder) {
    static const std::map<std::string, std::vector<FolderEntry>> kFolders{
        {"",
         {{".", true},
          {"..", true},
          {"B.bin", false},
          {"c.txt", false},
          {"a.bin", false},
          {"sub", true}}},
        {"roms\\", {{"ロム2.bin", false}, {"ロム1.bin", false}, {"x.bin", true}}},
    };
    const auto found = kFolders.find(folder);
    return found == kFolders.end() ? std::nullopt : std::optional(found->second);
}

struct ExpandRow {
    const char* name;
    std::string pattern;
    bool withFolders;
    std::vector<std::string> paths;
};
void PrintTo(const ExpandRow& row, std::ostream* os) {
    *os << row.name;
}

class ExpandTest : public testing::TestWithParam<ExpandRow> {};

TEST_P(ExpandTest, GivesTheMatchesInNameOrder) {
    EXPECT_EQ(kst::cli::ExpandPattern(GetParam().pattern, GetParam().withFolders, FakeListing),
              GetParam().paths);
}

INSTANTIATE_TEST_SUITE_P(
    Listing, ExpandTest,
    testing::Values(
        ExpandRow{"FilesAnyCase", "*.bin", false, {"a.bin", "B.bin"}},
        ExpandRow{"FoldersLeftOut", "*", false, {"a.bin", "B.bin", "c.txt"}},
        ExpandRow{"FoldersTakenWhenAsked", "*", true, {"a.bin", "B.bin", "c.txt", "sub"}},
        ExpandRow{"FolderPartKept", "roms\\*.bin", false, {"roms\\ロム1.bin", "roms\\ロム2.bin"}},
        ExpandRow{"NoMatch", "*.img", true, {}},
        ExpandRow{"FolderNotListed", "none\\*.bin", true, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineInputsTest, UnmatchedPatternStaysAnInput) {
    const auto split = kst::cli::SplitCommandLine("k.exe -o out \"*.bin\" *.bin *.img c.txt");
    const std::vector<std::string> files{"*.bin", "*.bin", "*.img", "c.txt"};
    const std::vector<bool> flags = kst::cli::PatternFlags(files, split);
    EXPECT_EQ(flags, (std::vector<bool>{false, true, true, false}));
    std::vector<std::pair<std::string, bool>> inputs;
    for (const kst::cli::Input& input :
         kst::cli::CommandLineInputs(files, flags, false, std::nullopt, FakeListing)) {
        inputs.emplace_back(input.path, input.unmatched);
    }
    EXPECT_EQ(inputs, (std::vector<std::pair<std::string, bool>>{{"*.bin", false},
                                                                 {"a.bin", false},
                                                                 {"B.bin", false},
                                                                 {"*.img", true},
                                                                 {"c.txt", false}}));
}

} // namespace

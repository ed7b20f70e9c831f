// SPDX-License-Identifier: MIT
#pragma once

#include "walk.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Windows hands a program its command line as one text and leaves wildcards
// to it. These split the line as the C runtime does, remember which
// arguments were patterns, and expand them over a folder listing. Texts are
// UTF-8; the logic is the same on every system, so it is tested everywhere.
namespace kst::cli {

// A pattern no file matched, as a failed file's message.
inline constexpr const char* kNoMatch = "%s に一致するファイルはありません";
inline constexpr const char* kNoMatchKind = "no_match";

struct CommandArgument {
    std::string text;
    // A '*' or '?' outside quotes in the last path component: to expand.
    bool pattern = false;
};

// The arguments of a command line, the program's name first, split by the
// C runtime's rules: blanks separate; quotes group and are dropped, "" inside
// quotes is one quote; 2n backslashes before a quote give n and the quote
// acts, 2n+1 give n and a literal quote; other backslashes are literal. The
// program's name ends at the first blank outside quotes, backslashes literal.
std::vector<CommandArgument> SplitCommandLine(std::string_view line);

// Whether name matches pattern: '*' any run of characters, '?' any one,
// letters in any case, as Windows compares file names.
bool MatchesWildcard(std::string_view pattern, std::string_view name);

struct FolderEntry {
    std::string name;
    bool folder = false;
};
// A folder's entries ("" is the current folder), or nullopt when it cannot be
// listed.
using FolderLister = std::function<std::optional<std::vector<FolderEntry>>(const std::string&)>;

// The paths pattern names, its folder part kept as typed, in name order;
// folders only when withFolders. "." and ".." never match.
std::vector<std::string> ExpandPattern(std::string_view pattern, bool withFolders,
                                       const FolderLister& list);

// The inputs for the FILE arguments. files are as parsed; patterns flags
// those that were typed as patterns (empty: none, as where the shell has
// expanded them). A pattern gives its matches, walked like any argument, or
// one input marked unmatched.
std::vector<Input> CommandLineInputs(const std::vector<std::string>& files,
                                     const std::vector<bool>& patterns, bool recursive,
                                     const std::optional<std::string>& outDir,
                                     const FolderLister& list);

// For each of files, in order, whether it was typed as a pattern: each is
// found among arguments after the one found before it.
std::vector<bool> PatternFlags(const std::vector<std::string>& files,
                               const std::vector<CommandArgument>& arguments);

// The inputs for the FILE arguments as typed: on Windows patterns in this
// process's command line are expanded over the system's folders; elsewhere
// the shell has expanded them.
std::vector<Input> TypedInputs(const std::vector<std::string>& files, bool recursive,
                               const std::optional<std::string>& outDir);

#ifdef _WIN32
// This process's command line, split.
std::vector<CommandArgument> ProcessCommandLine();
// A folder's entries as the system lists them.
std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder);
#endif

} // namespace kst::cli

// SPDX-License-Identifier: MIT
#include "winargs.h"

#include <algorithm>

namespace kst::cli {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsWildcard(char c) {
    return c == '*' || c == '?';
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/' || c == ':';
}

// An argument as it is built, with which of its characters were quoted.
class ArgumentText {
public:
    void Add(char c, bool quoted) {
        text_ += c;
        quoted_.push_back(quoted);
    }
    void AddBackslashes(std::size_t n, bool quoted) {
        for (; n > 0; --n) {
            Add('\\', quoted);
        }
    }
    CommandArgument Done() const {
        std::size_t start = text_.size();
        while (start > 0 && !IsSeparator(text_[start - 1])) {
            --start;
        }
        bool pattern = false;
        for (std::size_t i = start; i < text_.size(); ++i) {
            pattern = pattern || (IsWildcard(text_[i]) && !quoted_[i]);
        }
        return CommandArgument{text_, pattern};
    }

private:
    std::string text_;
    std::vector<bool> quoted_;
};

// The program's name: quotes toggle, nothing is escaped.
std::size_t SplitProgramName(std::string_view line, std::vector<CommandArgument>& out) {
    ArgumentText name;
    bool inQuotes = false;
    std::size_t at = 0;
    for (; at < line.size() && (inQuotes || !IsBlank(line[at])); ++at) {
        if (line[at] == '"') {
            inQuotes = !inQuotes;
        } else {
            name.Add(line[at], inQuotes);
        }
    }
    out.push_back(name.Done());
    return at;
}

// One argument from at, which is not blank; returns where it ended.
std::size_t SplitArgument(std::string_view line, std::size_t at,
                          std::vector<CommandArgument>& out) {
    ArgumentText arg;
    bool inQuotes = false;
    while (true) {
        std::size_t backslashes = 0;
        for (; at < line.size() && line[at] == '\\'; ++at) {
            ++backslashes;
        }
        bool copy = true;
        if (at < line.size() && line[at] == '"') {
            if (backslashes % 2 == 0) {
                if (inQuotes && at + 1 < line.size() && line[at + 1] == '"') {
                    ++at; // "" inside quotes: one literal quote
                } else {
                    copy = false;
                    inQuotes = !inQuotes;
                }
            }
            backslashes /= 2;
        }
        arg.AddBackslashes(backslashes, inQuotes);
        if (at >= line.size() || (!inQuotes && IsBlank(line[at]))) {
            break;
        }
        if (copy) {
            arg.Add(line[at], inQuotes);
        }
        ++at;
    }
    out.push_back(arg.Done());
    return at;
}

// The next code point of UTF-8 text at i, advancing i; a stray byte stands
// for itself.
char32_t NextCodePoint(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    const int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t c = more == 0 ? lead : lead & (0x3F >> more);
    for (int k = 0; k < more && i < text.size(); ++k) {
        c = (c << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    return c;
}

// Upper case for the alphabets that have one in common names: Latin,
// Greek, Cyrillic and the full-width Latin letters.
char32_t Folded(char32_t c) {
    const auto in = [c](char32_t low, char32_t high) { return c >= low && c <= high; };
    if (in(U'a', U'z') || (in(0xE0, 0xFE) && c != 0xF7) || in(0x3B1, 0x3C9) || in(0x430, 0x44F) ||
        in(0xFF41, 0xFF5A)) {
        return c - 0x20;
    }
    if (in(0x450, 0x45F)) {
        return c - 0x50;
    }
    // Pairs of one upper and one lower case letter; which comes first varies.
    const bool upperFirst = in(0x100, 0x137) || in(0x14A, 0x177) || in(0x460, 0x481) ||
                            in(0x48A, 0x4BF) || in(0x4D0, 0x4FF);
    const bool lowerSecond =
        upperFirst ? c % 2 == 1
                   : (in(0x139, 0x148) || in(0x179, 0x17E) || in(0x4C1, 0x4CE)) && c % 2 == 0;
    return lowerSecond ? c - 1 : c;
}

std::u32string FoldedCodePoints(std::string_view text) {
    std::u32string points;
    for (std::size_t i = 0; i < text.size();) {
        points += Folded(NextCodePoint(text, i));
    }
    return points;
}

// Matching with one backtrack point, the last '*': linear in practice.
bool Matches(const std::u32string& pattern, const std::u32string& name) {
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::u32string::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == U'*') {
            star = p++;
            starName = n;
        } else if (star != std::u32string::npos) {
            p = star + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') {
        ++p;
    }
    return p == pattern.size();
}

} // namespace

std::vector<CommandArgument> SplitCommandLine(std::string_view line) {
    std::vector<CommandArgument> arguments;
    if (line.empty()) {
        return arguments;
    }
    std::size_t at = SplitProgramName(line, arguments);
    while (true) {
        while (at < line.size() && IsBlank(line[at])) {
            ++at;
        }
        if (at >= line.size()) {
            return arguments;
        }
        at = SplitArgument(line, at, arguments);
    }
}

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
    return Matches(FoldedCodePoints(pattern), FoldedCodePoints(name));
}

std::vector<std::string> ExpandPattern(std::string_view pattern, bool withFolders,
                                       const FolderLister& list) {
    std::size_t nameStart = pattern.size();
    while (nameStart > 0 && !IsSeparator(pattern[nameStart - 1])) {
        --nameStart;
    }
    const std::string folder(pattern.substr(0, nameStart));
    const std::string_view namePattern = pattern.substr(nameStart);
    const auto entries = list(folder);
    if (!entries) {
        return {};
    }
    std::vector<std::pair<std::u32string, std::string>> matches; // folded name, name
    const std::u32string folded = FoldedCodePoints(namePattern);
    for (const FolderEntry& entry : *entries) {
        if (entry.name == "." || entry.name == ".." || (entry.folder && !withFolders)) {
            continue;
        }
        if (std::u32string name = FoldedCodePoints(entry.name); Matches(folded, name)) {
            matches.emplace_back(std::move(name), entry.name);
        }
    }
    std::sort(matches.begin(), matches.end());
    std::vector<std::string> paths;
    for (const auto& match : matches) {
        paths.push_back(folder + match.second);
    }
    return paths;
}

std::vector<Input> CommandLineInputs(const std::vector<std::string>& files,
                                     const std::vector<bool>& patterns, bool recursive,
                                     const std::optional<std::string>& outDir,
                                     const FolderLister& list) {
    std::vector<Input> inputs;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const bool pattern = i < patterns.size() && patterns[i];
        const std::vector<std::string> named =
            pattern ? ExpandPattern(files[i], recursive, list) : std::vector{files[i]};
        if (named.empty()) {
            inputs.push_back(Input{files[i], outDir, true});
        }
        for (Input& input : ExpandInputs(named, recursive, outDir)) {
            inputs.push_back(std::move(input));
        }
    }
    return inputs;
}

std::vector<bool> PatternFlags(const std::vector<std::string>& files,
                               const std::vector<CommandArgument>& arguments) {
    std::vector<bool> flags;
    std::size_t next = arguments.empty() ? 0 : 1; // past the program's name
    for (const std::string& file : files) {
        const auto found =
            std::find_if(arguments.begin() + static_cast<std::ptrdiff_t>(next), arguments.end(),
                         [&file](const CommandArgument& a) { return a.text == file; });
        flags.push_back(found != arguments.end() && found->pattern);
        if (found != arguments.end()) {
            next = static_cast<std::size_t>(found - arguments.begin()) + 1;
        }
    }
    return flags;
}

std::vector<Input> TypedInputs(const std::vector<std::string>& files, bool recursive,
                               const std::optional<std::string>& outDir) {
#ifdef _WIN32
    return CommandLineInputs(files, PatternFlags(files, ProcessCommandLine()), recursive, outDir,
                             ListFolder);
#else
    return ExpandInputs(files, recursive, outDir);
#endif
}

} // namespace kst::cli

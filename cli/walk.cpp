// SPDX-License-Identifier: MIT
#include "walk.h"

#include "outputpath.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace kst::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMark = "(KST)";

std::string Utf8Text(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

enum class EntryKind { Folder, File, FileLink, Other };

constexpr const char* kLinkSkipped = "a symbolic link, which -r does not follow";

// Links to folders count as Other, so walks never leave the tree or loop;
// a link to a file is reported, not followed: it may lead anywhere, such as
// to a file its folder's owner may not read. Devices, pipes and the like are
// Other too.
EntryKind KindOf(const fs::directory_entry& entry) {
    std::error_code error;
    const bool link = entry.is_symlink(error);
    if (entry.is_directory(error)) {
        return link ? EntryKind::Other : EntryKind::Folder;
    }
    if (!entry.is_regular_file(error)) {
        return EntryKind::Other;
    }
    return link ? EntryKind::FileLink : EntryKind::File;
}

// The folder's entries sorted by name, or nullopt when it cannot be listed.
std::optional<std::vector<fs::directory_entry>> SortedEntries(const fs::path& folder) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    std::vector<fs::directory_entry> entries;
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        entries.push_back(*it);
    }
    if (error) {
        return std::nullopt;
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return a.path().filename() < b.path().filename();
    });
    return entries;
}

void Walk(const fs::path& folder, const std::optional<fs::path>& outDir,
          std::vector<Input>& inputs) {
    const auto entries = SortedEntries(folder);
    if (!entries) {
        inputs.push_back(Input{Utf8Text(folder), std::nullopt});
        return;
    }
    for (const fs::directory_entry& entry : *entries) {
        const fs::path name = entry.path().filename();
        const EntryKind kind = KindOf(entry);
        if (kind == EntryKind::Folder) {
            Walk(entry.path(), outDir ? std::optional(*outDir / name) : std::nullopt, inputs);
        } else if (kind != EntryKind::Other && !IsKestruneFile(Utf8Text(name))) {
            inputs.push_back(Input{Utf8Text(entry.path()),
                                   outDir ? std::optional(Utf8Text(*outDir)) : std::nullopt, false,
                                   kind == EntryKind::FileLink ? kLinkSkipped : ""});
        }
    }
}

} // namespace

bool IsKestruneFile(std::string_view name) {
    const PathParts parts = SplitPath(name);
    return parts.base.ends_with(kMark) || parts.ext == ".kstrec" ||
           (name.starts_with(".kestrune-") && name.ends_with(".part"));
}

std::vector<Input> ExpandInputs(const std::vector<std::string>& arguments, bool recursive,
                                const std::optional<std::string>& outDir) {
    std::vector<Input> inputs;
    for (const std::string& argument : arguments) {
        if (recursive && DirectoryExists(argument)) {
            Walk(PathFromUtf8(argument),
                 outDir ? std::optional(PathFromUtf8(*outDir)) : std::nullopt, inputs);
        } else {
            inputs.push_back(Input{argument, outDir});
        }
    }
    return inputs;
}

} // namespace kst::cli

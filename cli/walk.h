// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kst::cli {

// One file to trim. Texts are UTF-8.
struct Input {
    std::string path;
    std::optional<std::string> outDir; // where its copy goes; beside it when absent
    bool unmatched = false;            // a wildcard pattern that no file matched
    std::string skipped = {};          // why a walk leaves it alone, or empty
};

// What Kestrune itself leaves in a folder: copies (a name ending in "(KST)"
// before its extension), trim records (*.kstrec) and temporary copies
// (.kestrune-*.part). A walk never takes them for inputs.
bool IsKestruneFile(std::string_view name);

// The inputs the FILE arguments name, in order. Without recursive each
// argument is one input, folders included (which then fail as inputs do).
// With it a folder gives its files in name order, each subfolder walked where
// its name falls; symbolic links are not followed (a link to a file is an
// input with its reason to be skipped, as find without -L), Kestrune's own
// files are left out, and a folder that cannot be listed stays an input so
// that it fails. With outDir the copies of a walked folder's files go into
// the same subfolders of outDir as theirs are of that folder.
std::vector<Input> ExpandInputs(const std::vector<std::string>& arguments, bool recursive,
                                const std::optional<std::string>& outDir);

} // namespace kst::cli

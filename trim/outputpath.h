// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kst {

// A path text split for naming the output. folder + base + ext == the path.
struct PathParts {
    std::string folder; // up to and including the last separator
    std::string base;   // the file name without its extension
    std::string ext;    // from the file name's last "." on, or empty
};

// Texts are UTF-8, so no byte of a multi-byte character is ever taken for a
// separator or a dot.
PathParts SplitPath(std::string_view path);

// Output beside the input: folder + base + "(KST)" + ext.
std::string OutputBesideInput(std::string_view inputPath);

// Output in a chosen folder: folder + separator + base + "(KST)" + ext, joined
// as they stand (a folder that already ends in a separator gives two).
std::string OutputInFolder(std::string_view folder, std::string_view inputPath);

// The separator put between a chosen folder and the file name.
char FolderSeparator();

std::filesystem::path PathFromUtf8(std::string_view text);

// A text names an existing folder; an empty text never does.
bool DirectoryExists(std::string_view text);

} // namespace kst

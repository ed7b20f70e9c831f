// SPDX-License-Identifier: MIT
#include "outputpath.h"

#include <system_error>

namespace kst {
namespace {

#ifdef _WIN32
constexpr std::string_view kSeparators = "\\/:";
#else
constexpr std::string_view kSeparators = "/";
#endif

constexpr std::string_view kMark = "(KST)";

std::string MarkedName(const PathParts& parts) {
    return parts.base + std::string(kMark) + parts.ext;
}

} // namespace

PathParts SplitPath(std::string_view path) {
    const std::size_t cut = path.find_last_of(kSeparators);
    const std::size_t nameAt = cut == std::string_view::npos ? 0 : cut + 1;
    const std::string_view name = path.substr(nameAt);
    const std::size_t dot = name.rfind('.');
    const std::size_t extAt = dot == std::string_view::npos ? name.size() : dot;
    return PathParts{std::string(path.substr(0, nameAt)), std::string(name.substr(0, extAt)),
                     std::string(name.substr(extAt))};
}

std::string OutputBesideInput(std::string_view inputPath) {
    const PathParts parts = SplitPath(inputPath);
    return parts.folder + MarkedName(parts);
}

std::string OutputInFolder(std::string_view folder, std::string_view inputPath) {
    return std::string(folder) + FolderSeparator() + MarkedName(SplitPath(inputPath));
}

char FolderSeparator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

bool DirectoryExists(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    std::error_code error;
    return std::filesystem::is_directory(PathFromUtf8(text), error);
}

} // namespace kst

// SPDX-License-Identifier: MIT
// The output naming on any text: folder part + base + extension rebuild the
// path; the folder part ends at a separator, the name holds none, and the
// extension is the name's last "." onwards; cuts fall only between whole
// UTF-8 characters; both output names are the pieces joined around "(KST)"
// and never the input's own. The input is "folder\0path", or just a path.
#include "outputpath.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Require(bool ok, const char* what, std::string_view path) {
    if (!ok) {
        std::fprintf(stderr, "%s: '%.*s'\n", what, static_cast<int>(path.size()), path.data());
        std::abort();
    }
}

// Well-formed UTF-8 (structure only: lead byte, then its continuation bytes).
bool ValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80         ? 1
                              : (c >> 5) == 6  ? 2
                              : (c >> 4) == 14 ? 3
                              : (c >> 3) == 30 ? 4
                                               : 0;
        if (n == 0 || i + n > s.size()) {
            return false;
        }
        for (std::size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) {
                return false;
            }
        }
        i += n;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    const std::string_view folder = nul == std::string_view::npos ? "" : input.substr(0, nul);
    const std::string_view path = nul == std::string_view::npos ? input : input.substr(nul + 1);

    const kst::PathParts parts = kst::SplitPath(path);
    const std::string name = parts.base + parts.ext;
    const char separator = kst::FolderSeparator();
    Require(parts.folder + name == path, "pieces do not rebuild the path", path);
    Require(parts.folder.empty() || parts.folder.back() == separator,
            "folder part does not end at a separator", path);
    Require(name.find(separator) == std::string::npos, "name holds a separator", path);
    Require(parts.ext.empty() ? parts.base.find('.') == std::string::npos
                              : parts.ext[0] == '.' && parts.ext.find('.', 1) == std::string::npos,
            "extension is not from the name's last dot", path);
    if (ValidUtf8(path)) {
        Require(ValidUtf8(parts.folder) && ValidUtf8(parts.base) && ValidUtf8(parts.ext),
                "a cut falls inside a character", path);
    }

    const std::string marked = parts.base + "(KST)" + parts.ext;
    const std::string beside = kst::OutputBesideInput(path);
    Require(beside == parts.folder + marked, "output beside the input", path);
    Require(beside != path, "output equals the input", path);
    const std::string into = kst::OutputInFolder(folder, path);
    Require(into == std::string(folder) + separator + marked, "output in a folder", path);

    const std::u8string u8 = kst::PathFromUtf8(path).u8string();
    Require(std::string_view(reinterpret_cast<const char*>(u8.data()), u8.size()) == path,
            "path text does not survive the round trip", path);
    return 0;
}

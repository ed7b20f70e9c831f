// SPDX-License-Identifier: MIT
#include "hashkinds.h"

#include <algorithm>
#include <array>
#include <sstream>

namespace kst {
namespace {

struct KindInfo {
    HashKind kind;
    const char* name;
    std::size_t bytes;
};

constexpr std::array<KindInfo, 4> kKinds{{
    {HashKind::Crc32, "crc32", 4},
    {HashKind::Md5, "md5", 16},
    {HashKind::Sha1, "sha1", 20},
    {HashKind::Sha256, "sha256", 32},
}};

const KindInfo& Info(HashKind kind) {
    return kKinds[static_cast<std::size_t>(kind)];
}

} // namespace

const char* HashName(HashKind kind) {
    return Info(kind).name;
}

std::optional<HashKind> HashNamed(const std::string& name) {
    for (const KindInfo& info : kKinds) {
        if (name == info.name) {
            return info.kind;
        }
    }
    return std::nullopt;
}

std::size_t HexLength(HashKind kind) {
    return 2 * Info(kind).bytes;
}

std::optional<std::vector<HashKind>> ParseHashList(const std::string& text) {
    std::vector<HashKind> kinds;
    std::istringstream in(text);
    for (std::string name; std::getline(in, name, ',');) {
        const std::optional<HashKind> kind = HashNamed(name);
        if (!kind) {
            return std::nullopt;
        }
        kinds.push_back(*kind);
    }
    if (kinds.empty()) {
        return std::nullopt;
    }
    std::sort(kinds.begin(), kinds.end());
    kinds.erase(std::unique(kinds.begin(), kinds.end()), kinds.end());
    return kinds;
}

} // namespace kst

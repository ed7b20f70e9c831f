// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kst {

enum class HashKind { Crc32, Md5, Sha1, Sha256 };

const char* HashName(HashKind kind);
std::optional<HashKind> HashNamed(const std::string& name);
// The hex digits a digest of kind has.
std::size_t HexLength(HashKind kind);

// "sha256,crc32" and the like: the kinds named, once each, in HashKind's
// order; nullopt for an empty list or an unknown name.
std::optional<std::vector<HashKind>> ParseHashList(const std::string& text);

// (name, lowercase hex) in HashKind's order.
using HexDigests = std::vector<std::pair<std::string, std::string>>;

} // namespace kst

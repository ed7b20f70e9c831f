// SPDX-License-Identifier: MIT
#pragma once

#include "bytesink.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct gcry_md_handle;

namespace kst::cli {

enum class HashKind { Crc32, Md5, Sha1, Sha256 };

const char* HashName(HashKind kind);
std::optional<HashKind> HashNamed(const std::string& name);
// The hex digits a digest of kind has.
std::size_t HexLength(HashKind kind);

// "sha256,crc32" and the like: the kinds named, once each, in HashKind's
// order; nullopt for an empty list or an unknown name.
std::optional<std::vector<HashKind>> ParseHashList(const std::string& text);

// Fails (false) when the linked library is older than the one built against.
bool InitHashing();

// (name, lowercase hex) in HashKind's order.
using HexDigests = std::vector<std::pair<std::string, std::string>>;

// Every asked kind over one stream of bytes, in one pass.
class Digests : public ByteSink {
public:
    explicit Digests(const std::vector<HashKind>& kinds);
    ~Digests() override;
    Digests(const Digests&) = delete;
    Digests& operator=(const Digests&) = delete;

    void Run(std::uint8_t byte, std::int64_t count) override;
    void Bytes(const std::uint8_t* data, std::int64_t length) override;
    std::int64_t Count() const { return count_; }
    HexDigests Hex() const;

private:
    gcry_md_handle* handle_ = nullptr;
    std::vector<HashKind> kinds_;
    std::int64_t count_ = 0;
};

} // namespace kst::cli

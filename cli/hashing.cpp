// SPDX-License-Identifier: MIT
#include "hashing.h"

#include <gcrypt.h>

#include <algorithm>
#include <array>
#include <new>
#include <sstream>
#include <stdexcept>

namespace kst::cli {
namespace {

struct KindInfo {
    HashKind kind;
    const char* name;
    int algorithm;
};

constexpr std::array<KindInfo, 4> kKinds{{
    {HashKind::Crc32, "crc32", GCRY_MD_CRC32},
    {HashKind::Md5, "md5", GCRY_MD_MD5},
    {HashKind::Sha1, "sha1", GCRY_MD_SHA1},
    {HashKind::Sha256, "sha256", GCRY_MD_SHA256},
}};

const KindInfo& Info(HashKind kind) {
    return kKinds[static_cast<std::size_t>(kind)];
}

std::string HexOf(const unsigned char* bytes, std::size_t length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < length; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 0xF];
    }
    return hex;
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
    return 2 * ::gcry_md_get_algo_dlen(Info(kind).algorithm);
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

bool InitHashing() {
    if (::gcry_check_version(GCRYPT_VERSION) == nullptr) {
        return false;
    }
    ::gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    ::gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
}

Digests::Digests(const std::vector<HashKind>& kinds) : kinds_(kinds) {
    if (::gcry_md_open(&handle_, 0, 0) != 0) {
        throw std::bad_alloc();
    }
    for (const HashKind kind : kinds_) {
        if (::gcry_md_enable(handle_, Info(kind).algorithm) != 0) {
            ::gcry_md_close(handle_);
            throw std::runtime_error(std::string("hash not available: ") + HashName(kind));
        }
    }
}

Digests::~Digests() {
    ::gcry_md_close(handle_);
}

void Digests::Bytes(const std::uint8_t* data, std::int64_t length) {
    ::gcry_md_write(handle_, data, static_cast<std::size_t>(length));
    count_ += length;
}

void Digests::Run(std::uint8_t byte, std::int64_t count) {
    std::array<std::uint8_t, 64 * 1024> block{};
    block.fill(byte);
    for (std::int64_t left = count; left > 0;) {
        const std::int64_t n = std::min<std::int64_t>(left, block.size());
        Bytes(block.data(), n);
        left -= n;
    }
}

HexDigests Digests::Hex() const {
    HexDigests hex;
    for (const HashKind kind : kinds_) {
        const int algorithm = Info(kind).algorithm;
        hex.emplace_back(HashName(kind), HexOf(::gcry_md_read(handle_, algorithm),
                                               ::gcry_md_get_algo_dlen(algorithm)));
    }
    return hex;
}

} // namespace kst::cli

// SPDX-License-Identifier: MIT
#include "digests.h"

#include <gcrypt.h>

#include <algorithm>
#include <array>
#include <new>
#include <stdexcept>
#include <string>

namespace kst {
namespace {

int Algorithm(HashKind kind) {
    switch (kind) {
    case HashKind::Crc32:
        return GCRY_MD_CRC32;
    case HashKind::Md5:
        return GCRY_MD_MD5;
    case HashKind::Sha1:
        return GCRY_MD_SHA1;
    case HashKind::Sha256:
        return GCRY_MD_SHA256;
    }
    return GCRY_MD_NONE;
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
        if (::gcry_md_enable(handle_, Algorithm(kind)) != 0) {
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
        const int algorithm = Algorithm(kind);
        hex.emplace_back(HashName(kind), HexOf(::gcry_md_read(handle_, algorithm),
                                               ::gcry_md_get_algo_dlen(algorithm)));
    }
    return hex;
}

std::vector<HashKind> KindsOf(const HexDigests& digests) {
    std::vector<HashKind> kinds;
    for (const auto& entry : digests) {
        if (const std::optional<HashKind> kind = HashNamed(entry.first)) {
            kinds.push_back(*kind);
        }
    }
    return kinds;
}

bool SameDigests(HexDigests a, HexDigests b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

} // namespace kst

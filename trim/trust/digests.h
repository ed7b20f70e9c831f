// SPDX-License-Identifier: MIT
#pragma once

#include "bytesink.h"
#include "hashkinds.h"

#include <cstdint>
#include <vector>

struct gcry_md_handle;

namespace kst {

// Fails (false) when the linked library is older than the one built against.
bool InitHashing();

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

// The kinds of a set of digests, in its order.
std::vector<HashKind> KindsOf(const HexDigests& digests);

// The same digests, in whatever order.
bool SameDigests(HexDigests a, HexDigests b);

} // namespace kst

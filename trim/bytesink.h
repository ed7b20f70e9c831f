// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace kst {

// Sees one file's bytes in order, as the job reads or writes them. A run of
// one byte value comes as a count, so what the job never reads (a removed
// run, the pad) costs no read to observe.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Run(std::uint8_t byte, std::int64_t count) = 0;
    virtual void Bytes(const std::uint8_t* data, std::int64_t length) = 0;
};

} // namespace kst

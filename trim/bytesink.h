// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>

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

// A run fed to a sink goes in pieces this long, a stop asked for before each:
// every digest mix takes well under 0.2 s over one.
inline constexpr std::int64_t kRunPieceBytes = std::int64_t{4} << 20;

// Feeds count bytes of byte to sink (none when sink is null) piece by piece;
// false, part of the run fed, once stopRequested says yes.
bool FeedRun(ByteSink* sink, std::uint8_t byte, std::int64_t count,
             const std::function<bool()>& stopRequested);

} // namespace kst

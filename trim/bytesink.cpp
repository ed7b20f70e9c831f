// SPDX-License-Identifier: MIT
#include "bytesink.h"

#include <algorithm>

namespace kst {

bool FeedRun(ByteSink* sink, std::uint8_t byte, std::int64_t count,
             const std::function<bool()>& stopRequested) {
    if (sink == nullptr) {
        return true;
    }
    for (std::int64_t left = count; left > 0;) {
        if (stopRequested && stopRequested()) {
            return false;
        }
        const std::int64_t n = std::min(left, kRunPieceBytes);
        sink->Run(byte, n);
        left -= n;
    }
    return true;
}

} // namespace kst

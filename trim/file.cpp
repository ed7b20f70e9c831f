// SPDX-License-Identifier: MIT
// What the file layer does alike on every platform.
#include "file.h"

#include <algorithm>
#include <array>

namespace kst {

bool OutputFile::WriteZeros(std::int64_t count) {
    static constexpr std::array<std::uint8_t, 64 * 1024> kZeros{};
    for (std::int64_t left = count; left > 0;) {
        const std::int64_t n = std::min<std::int64_t>(left, kZeros.size());
        if (Write(kZeros.data(), n) != n) {
            return false;
        }
        left -= n;
    }
    return true;
}

} // namespace kst

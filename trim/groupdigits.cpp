// SPDX-License-Identifier: MIT
#include "groupdigits.h"

namespace kst {

std::string GroupDigits(std::int64_t value) {
    // Group the magnitude only, so a sign never stands before a lone comma.
    const bool negative = value < 0;
    const std::uint64_t magnitude =
        negative ? 0u - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    const std::string digits = std::to_string(magnitude);
    const std::size_t head = digits.size() % 3 == 0 ? 3 : digits.size() % 3;

    std::string text = negative ? "-" : "";
    text += digits.substr(0, head);
    for (std::size_t i = head; i < digits.size(); i += 3) {
        text += ',';
        text += digits.substr(i, 3);
    }
    return text;
}

} // namespace kst

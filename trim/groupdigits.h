// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

namespace kst {

// Decimal text with "," between groups of three digits: 1234567 -> "1,234,567".
std::string GroupDigits(std::int64_t value);

} // namespace kst

// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string_view>

namespace kst {

// The integer parser for every number typed into the window: leading spaces,
// one optional sign, then decimal digits within the signed 32-bit range or
// 1 to 8 hex digits after "$", "x" or "0x". Anything else, a trailing space
// included, throws JobError "'<text>' は整数ではありません".
std::int32_t StrToInt(std::string_view text);

} // namespace kst

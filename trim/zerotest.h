// SPDX-License-Identifier: MIT
#pragma once

#include "engineonly.h"

#include <cstdint>

namespace kst {

// Offset of the first byte in data[0, length) that differs from fill, or -1.
std::int64_t FindFirstOther(const std::uint8_t* data, std::int64_t length, std::uint8_t fill);

// Offset of the last byte in data[0, length) that differs from fill, or -1.
std::int64_t FindLastOther(const std::uint8_t* data, std::int64_t length, std::uint8_t fill);

} // namespace kst

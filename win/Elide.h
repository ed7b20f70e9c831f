// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kst::win {

// Width in pixels of a text as it would be drawn.
using MeasureText = std::function<int(std::wstring_view)>;

// The text that fits width: the whole text when it fits, else its longest
// prefix followed by "…" that does (never splitting a surrogate pair), else
// "…" alone, or nothing when not even that fits.
std::wstring ElideToWidth(std::wstring_view text, int width, const MeasureText& measure);

} // namespace kst::win

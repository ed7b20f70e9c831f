// SPDX-License-Identifier: MIT
#include "Elide.h"

namespace kst::win {
namespace {

constexpr std::wstring_view kEllipsis = L"\u2026";

bool IsHighSurrogate(wchar_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

std::wstring WithEllipsis(std::wstring_view text, std::size_t keep) {
    if (keep > 0 && IsHighSurrogate(text[keep - 1])) {
        --keep;
    }
    std::wstring shown(text.substr(0, keep));
    shown += kEllipsis;
    return shown;
}

} // namespace

std::wstring ElideToWidth(std::wstring_view text, int width, const MeasureText& measure) {
    if (measure(text) <= width) {
        return std::wstring(text);
    }
    if (measure(kEllipsis) > width) {
        return {};
    }
    // Widths grow with the prefix: search for the longest one that fits.
    std::size_t fits = 0;
    std::size_t tooLong = text.size();
    while (tooLong - fits > 1) {
        const std::size_t middle = fits + (tooLong - fits) / 2;
        if (measure(WithEllipsis(text, middle)) <= width) {
            fits = middle;
        } else {
            tooLong = middle;
        }
    }
    return WithEllipsis(text, fits);
}

} // namespace kst::win

// SPDX-License-Identifier: MIT
#include "nametext.h"

#include <cstdint>

namespace kst {
namespace {

// The length of the well-formed UTF-8 sequence at text[i], 0 when none is.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[i + k]); };
    const std::uint8_t lead = byte(0);
    std::size_t length = 0;
    std::uint32_t low = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, low = 0x80, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, low = 0x800, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, low = 0x10000, code = lead & 0x07u;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (byte(k) & 0x3Fu);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < low || code > 0x10FFFF || surrogate ? 0 : length;
}

void AppendEscaped(std::string& out, std::uint8_t byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
}

bool IsControl(std::string_view text, std::size_t i, std::size_t length) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    if (length == 1) {
        return lead < 0x20 || lead == 0x7F;
    }
    // U+0080..U+009F, the C1 controls (CSI among them).
    return length == 2 && lead == 0xC2 && static_cast<std::uint8_t>(text[i + 1]) < 0xA0;
}

} // namespace

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = SequenceLength(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string EscapeControls(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = SequenceLength(text, i);
        if (length == 0 || IsControl(text, i, length)) {
            for (std::size_t k = 0; k < (length == 0 ? 1 : length); ++k) {
                AppendEscaped(out, static_cast<std::uint8_t>(text[i + k]));
            }
            i += length == 0 ? 1 : length;
            continue;
        }
        out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

} // namespace kst

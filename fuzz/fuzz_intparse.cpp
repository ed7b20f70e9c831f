// SPDX-License-Identifier: MIT
// StrToInt against a plain reference: on the input taken as text, and on a
// 32-bit value written in one of the forms the parser takes (blanks, sign,
// decimal or hex with each prefix, either case, leading zeros), which must
// read back as that value.
#include "intparse.h"
#include "joberror.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

// The rules written out the obvious way, on std::from_chars.
std::optional<std::int32_t> Reference(std::string_view text) {
    std::size_t i = text.find_first_not_of(' ');
    std::string_view s = i == std::string_view::npos ? std::string_view() : text.substr(i);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.starts_with("0x") || s.starts_with("0X")) {
        s.remove_prefix(2);
        base = 16;
    } else if (s.starts_with("$") || s.starts_with("x") || s.starts_with("X")) {
        s.remove_prefix(1);
        base = 16;
    }
    if (s.empty() || (base == 16 && s.size() > 8)) {
        return std::nullopt;
    }
    if (base == 10) {
        if (s.find_first_not_of("0123456789") != std::string_view::npos) {
            return std::nullopt;
        }
        const std::size_t nonZero = s.find_first_not_of('0');
        s = nonZero == std::string_view::npos ? std::string_view("0") : s.substr(nonZero);
        if (s.size() > 10) {
            return std::nullopt;
        }
    }
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (error != std::errc() || end != s.data() + s.size()) {
        return std::nullopt;
    }
    if (base == 16) { // hex wraps into 32 bits: $FFFFFFFF is -1
        const auto bits = static_cast<std::uint32_t>(magnitude);
        return static_cast<std::int32_t>(negative ? 0u - bits : bits);
    }
    const std::int64_t value =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    if (value < INT32_MIN || value > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> Parse(const std::string& text) {
    try {
        return kst::StrToInt(text);
    } catch (const kst::JobError& e) {
        // what() is a C string: a text with a NUL is cut there.
        const std::string message = "'" + text + "' は整数ではありません";
        if (e.what() != message.substr(0, message.find('\0'))) {
            std::fprintf(stderr, "wrong failure text for '%s': %s\n", text.c_str(), e.what());
            std::abort();
        }
        return std::nullopt;
    }
}

void Agree(const std::string& text) {
    const auto got = Parse(text);
    const auto want = Reference(text);
    if (got != want) {
        std::fprintf(stderr, "'%s': parser %s %d, reference %s %d\n", text.c_str(),
                     got ? "took" : "refused", got.value_or(0), want ? "takes" : "refuses",
                     want.value_or(0));
        std::abort();
    }
}

// value in the form picked by the bits of form; also returns what it reads as.
std::string Form(std::uint32_t value, std::uint8_t form, std::int32_t& reads) {
    std::string text(form & 3, ' ');
    const int base = (form >> 2) & 3; // 0 decimal; 1 "$", 2 "x"/"X", 3 "0x"/"0X"
    const bool upper = (form >> 4) & 1;
    const bool zeros = (form >> 5) & 1;
    const int sign = (form >> 6) & 3; // 0 none, 1 "+", 2 "-", 3 none
    char digits[16];
    if (base == 0) {
        // Decimal holds the value itself: a sign only as the value asks.
        const auto v = static_cast<std::int32_t>(value);
        const std::uint32_t magnitude = v < 0 ? 0u - value : value;
        text += v < 0 ? "-" : sign == 1 ? "+" : "";
        text += zeros ? "00" : "";
        std::snprintf(digits, sizeof digits, "%u", magnitude);
        reads = v;
    } else {
        text += sign == 1 ? "+" : sign == 2 ? "-" : "";
        const char* const prefixes[] = {"$", upper ? "X" : "x", upper ? "0X" : "0x"};
        text += prefixes[base - 1];
        std::snprintf(digits, sizeof digits,
                      upper ? (zeros ? "%08X" : "%X") : (zeros ? "%08x" : "%x"), value);
        reads = static_cast<std::int32_t>(sign == 2 ? 0u - value : value);
    }
    return text + digits;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Agree(std::string(reinterpret_cast<const char*>(data), size));
    if (size >= 5) {
        const std::uint32_t value =
            static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
            static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
        std::int32_t reads = 0;
        const std::string text = Form(value, data[4], reads);
        if (Parse(text) != reads) {
            std::fprintf(stderr, "'%s' does not read as %d\n", text.c_str(), reads);
            std::abort();
        }
        Agree(text);
    }
    return 0;
}

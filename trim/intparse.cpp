// SPDX-License-Identifier: MIT
#include "intparse.h"

#include "joberror.h"
#include "messages.h"

#include <optional>

namespace kst {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool IsX(char c) {
    return c == 'x' || c == 'X';
}

// Length of a hex prefix at the head of s, 0 when there is none.
std::size_t HexPrefix(std::string_view s) {
    if (!s.empty() && (s[0] == '$' || IsX(s[0]))) {
        return 1;
    }
    if (s.size() >= 2 && s[0] == '0' && IsX(s[1])) {
        return 2;
    }
    return 0;
}

std::optional<std::uint32_t> ParseHex(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : digits) {
        const int d = HexDigit(c);
        if (d < 0) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    return value;
}

// Magnitude of a decimal number, at most 2^31 (the magnitude of INT32_MIN).
std::optional<std::uint32_t> ParseDecimal(std::string_view digits) {
    constexpr std::uint32_t limit = 2147483648u;
    if (digits.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > limit) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<std::int32_t> TryStrToInt(std::string_view text) {
    std::string_view s = text;
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (const std::size_t prefix = HexPrefix(s); prefix > 0) {
        // Hex forms wrap into the 32-bit range, so $FFFFFFFF is -1.
        const auto value = ParseHex(s.substr(prefix));
        if (!value) {
            return std::nullopt;
        }
        const std::uint32_t bits = negative ? 0u - *value : *value;
        return static_cast<std::int32_t>(bits);
    }
    const auto magnitude = ParseDecimal(s);
    if (!magnitude || (!negative && *magnitude > 2147483647u)) {
        return std::nullopt;
    }
    const std::int64_t value = negative ? -static_cast<std::int64_t>(*magnitude) : *magnitude;
    return static_cast<std::int32_t>(value);
}

} // namespace

std::int32_t StrToInt(std::string_view text) {
    if (const auto value = TryStrToInt(text)) {
        return *value;
    }
    throw JobError(ErrorKind::NotInteger, FormatMessage(msg::kNotInteger, text));
}

} // namespace kst

// SPDX-License-Identifier: MIT
// GroupDigits on any 64-bit value: without its commas it is the plain decimal
// text; the groups are 1 to 3 digits, then 3 each; and for -99 and above it
// matches the step-by-step text algorithm (below that the algorithm would put
// a comma after the minus sign, which GroupDigits does not).
#include "groupdigits.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string Stepwise(std::int64_t value) {
    const std::string s = std::to_string(value);
    const std::size_t n = s.size();
    std::string t;
    for (std::size_t i = 1; i <= n / 3; ++i) {
        t = "," + s.substr(n - 3 * i, 3) + t;
    }
    if (n % 3 != 0) {
        t = s.substr(0, n % 3) + t;
    }
    if (!t.empty() && t[0] == ',') {
        t.erase(0, 1);
    }
    return t;
}

bool WellGrouped(const std::string& text) {
    const std::size_t start = text.starts_with('-') ? 1 : 0;
    const std::string body = text.substr(start);
    const std::size_t head = body.find(',') == std::string::npos ? body.size() : body.find(',');
    if (head < 1 || head > 3 || (body[0] == '0' && body.size() > 1)) {
        return false;
    }
    for (std::size_t i = head; i < body.size(); i += 4) {
        if (body[i] != ',' || i + 4 > body.size()) {
            return false;
        }
    }
    return true;
}

void Check(std::int64_t value) {
    const std::string text = kst::GroupDigits(value);
    std::string plain = text;
    std::erase(plain, ',');
    const bool ok = plain == std::to_string(value) && WellGrouped(text) &&
                    (value < -99 || text == Stepwise(value));
    if (!ok) {
        std::fprintf(stderr, "GroupDigits(%lld) = '%s'\n", static_cast<long long>(value),
                     text.c_str());
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, data, size < sizeof bits ? size : sizeof bits);
    const auto value = static_cast<std::int64_t>(bits);
    Check(value);
    Check(value >> (bits % 64)); // the short values too
    return 0;
}

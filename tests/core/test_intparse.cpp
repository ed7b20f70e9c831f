// SPDX-License-Identifier: MIT
#include "intparse.h"
#include "joberror.h"
#include "messages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

struct Accepted {
    const char* name;
    const char* text;
    std::int32_t value;
};

class IntParseAccepts : public testing::TestWithParam<Accepted> {};

TEST_P(IntParseAccepts, Value) {
    EXPECT_EQ(kst::StrToInt(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, IntParseAccepts,
    testing::Values(Accepted{"Plain", "10", 10}, Accepted{"LeadingBlanks", "   5", 5},
                    Accepted{"PlusSign", "+7", 7}, Accepted{"MinusSign", "-7", -7},
                    Accepted{"BlanksThenSign", "  -3", -3}, Accepted{"LeadingZeros", "0007", 7},
                    Accepted{"Int32Max", "2147483647", 2147483647},
                    Accepted{"Int32Min", "-2147483648", INT32_MIN},
                    Accepted{"DollarHex", "$1F", 31}, Accepted{"XHex", "x10", 16},
                    Accepted{"UpperXHex", "X10", 16}, Accepted{"ZeroXHex", "0x10", 16},
                    Accepted{"ZeroUpperXHex", "0XfF", 255},
                    Accepted{"EightHexDigitsWrap", "$FFFFFFFF", -1},
                    Accepted{"HexInt32Min", "$80000000", INT32_MIN},
                    Accepted{"NegativeHex", "-$10", -16}, Accepted{"Zero", "0", 0},
                    Accepted{"MinusZero", "-0", 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct Refused {
    const char* name;
    const char* text;
};

class IntParseRefuses : public testing::TestWithParam<Refused> {};

TEST_P(IntParseRefuses, WithItsMessage) {
    try {
        kst::StrToInt(GetParam().text);
        FAIL() << "accepted " << GetParam().text;
    } catch (const kst::JobError& e) {
        EXPECT_EQ(e.what(), kst::FormatMessage(kst::msg::kNotInteger, GetParam().text));
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, IntParseRefuses,
                         testing::Values(Refused{"Empty", ""}, Refused{"BlanksOnly", "   "},
                                         Refused{"TrailingBlank", "5 "}, Refused{"SignOnly", "-"},
                                         Refused{"TwoSigns", "--5"},
                                         Refused{"BlankAfterSign", "- 5"},
                                         Refused{"Int32MaxPlusOne", "2147483648"},
                                         Refused{"Int32MinMinusOne", "-2147483649"},
                                         Refused{"HugeDecimal", "99999999999999999999"},
                                         Refused{"Decimal", "1.5"}, Refused{"Letters", "abc"},
                                         Refused{"DollarOnly", "$"}, Refused{"ZeroXOnly", "0x"},
                                         Refused{"NineHexDigits", "$100000000"},
                                         Refused{"HexWithBadDigit", "$1G"}, Refused{"Tab", "\t5"},
                                         Refused{"FullWidthDigit", "５"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

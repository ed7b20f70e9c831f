// SPDX-License-Identifier: MIT
#include "groupdigits.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

TEST(GroupDigits, GroupsOfThree) {
    const std::pair<std::int64_t, const char*> rows[] = {
        {0, "0"},
        {7, "7"},
        {999, "999"},
        {1000, "1,000"},
        {123456, "123,456"},
        {1234567, "1,234,567"},
        {1200000, "1,200,000"},
        {-1, "-1"},
        {-123, "-123"},
        {-1234, "-1,234"},
        {std::numeric_limits<std::int64_t>::max(), "9,223,372,036,854,775,807"},
        {std::numeric_limits<std::int64_t>::min(), "-9,223,372,036,854,775,808"},
    };
    for (const auto& [value, text] : rows) {
        EXPECT_EQ(kst::GroupDigits(value), text) << value;
    }
}

} // namespace

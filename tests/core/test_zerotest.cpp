// SPDX-License-Identifier: MIT
#include "testfiles.h"
#include "zerotest.h"

#include <gtest/gtest.h>

namespace {

// Every position of a lone marked byte, and of a pair, around word and block
// edges, for both fill bytes; checked against the plain loop.
TEST(ZeroTest, AgreesWithPlainLoop) {
    for (const std::uint8_t fill : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
        for (std::size_t size = 0; size <= 140; ++size) {
            const Bytes blank = Filled(size, {}, fill);
            EXPECT_EQ(kst::FindFirstOther(blank.data(), size, fill), -1);
            EXPECT_EQ(kst::FindLastOther(blank.data(), size, fill), -1);
            for (std::size_t a = 0; a < size; ++a) {
                for (const std::size_t b : {a, (a * 7 + 3) % size}) {
                    const Bytes bytes = Filled(size, {a, b}, fill);
                    const std::int64_t first = std::min(a, b);
                    const std::int64_t last = std::max(a, b);
                    ASSERT_EQ(kst::FindFirstOther(bytes.data(), size, fill), first)
                        << size << " " << a;
                    ASSERT_EQ(kst::FindLastOther(bytes.data(), size, fill), last)
                        << size << " " << a;
                }
            }
        }
    }
}

TEST(ZeroTest, UnalignedStart) {
    Bytes bytes(300, 0);
    bytes[150] = 1;
    for (std::size_t offset = 0; offset < 16; ++offset) {
        const auto n = static_cast<std::int64_t>(bytes.size() - offset);
        EXPECT_EQ(kst::FindFirstOther(bytes.data() + offset, n, 0), 150 - std::int64_t(offset));
        EXPECT_EQ(kst::FindLastOther(bytes.data() + offset, n, 0), 150 - std::int64_t(offset));
    }
}

} // namespace

// SPDX-License-Identifier: MIT
// The zero test against a plain byte loop, around every word, vector and
// block edge, at every alignment of the buffer. Built once with the library's
// own choice of code and once for each of zerotest.cpp's other forms.
#include "zerotest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::int64_t PlainFirst(const std::uint8_t* data, std::int64_t length, std::uint8_t fill) {
    for (std::int64_t i = 0; i < length; ++i) {
        if (data[i] != fill) {
            return i;
        }
    }
    return -1;
}

std::int64_t PlainLast(const std::uint8_t* data, std::int64_t length, std::uint8_t fill) {
    for (std::int64_t i = length - 1; i >= 0; --i) {
        if (data[i] != fill) {
            return i;
        }
    }
    return -1;
}

constexpr std::uint8_t kFills[] = {0x00, 0xFF, 0x5A};

// Lengths on both sides of 8-, 32- and 512-byte steps, one and several blocks.
constexpr std::int64_t kLengths[] = {0,  1,   7,   8,   9,    31,   32,   33,   63,   64,
                                     65, 511, 512, 513, 1023, 1024, 1025, 1535, 1537, 2081};

// Offsets of the data from a 64-byte aligned start.
constexpr std::int64_t kOffsets[] = {0, 1, 7, 31, 33};

// One differing byte at every position: the first and the last are both it.
// Then a second one mirrored about the middle, so the first and the last lie
// apart, in different blocks for the longer lengths. Each value differs from
// fill in one bit, a different bit from position to position, so no lane or
// bit of a word goes unchecked.
TEST(ZeroTestForms, EveryPositionOfOneByteAndOfAPair) {
    for (const std::uint8_t fill : kFills) {
        for (const std::int64_t offset : kOffsets) {
            for (const std::int64_t length : kLengths) {
                Bytes buffer(static_cast<std::size_t>(offset + length + 64), fill);
                std::uint8_t* const data = buffer.data() + offset;
                const auto mark = [&](std::int64_t at) {
                    data[at] = static_cast<std::uint8_t>(fill ^ (1u << ((at + offset) % 8)));
                };
                ASSERT_EQ(kst::FindFirstOther(data, length, fill), -1) << length;
                ASSERT_EQ(kst::FindLastOther(data, length, fill), -1) << length;
                for (std::int64_t p = 0; p < length; ++p) {
                    mark(p);
                    ASSERT_EQ(kst::FindFirstOther(data, length, fill), p)
                        << int{fill} << " " << offset << " " << length;
                    ASSERT_EQ(kst::FindLastOther(data, length, fill), p)
                        << int{fill} << " " << offset << " " << length;
                    const std::int64_t q = length - 1 - p;
                    mark(q);
                    ASSERT_EQ(kst::FindFirstOther(data, length, fill), std::min(p, q))
                        << int{fill} << " " << offset << " " << length << " pair";
                    ASSERT_EQ(kst::FindLastOther(data, length, fill), std::max(p, q))
                        << int{fill} << " " << offset << " " << length << " pair";
                    data[p] = fill;
                    data[q] = fill;
                }
            }
        }
    }
}

// Bytes just outside the range never count, on either side.
TEST(ZeroTestForms, NeighboursOutsideTheRangeIgnored) {
    for (const std::int64_t length : kLengths) {
        Bytes buffer(static_cast<std::size_t>(length + 2), 0);
        buffer.front() = 1;
        buffer.back() = 1;
        EXPECT_EQ(kst::FindFirstOther(buffer.data() + 1, length, 0), -1) << length;
        EXPECT_EQ(kst::FindLastOther(buffer.data() + 1, length, 0), -1) << length;
    }
}

// Random runs of fill with a few random other bytes, against the plain loop.
TEST(ZeroTestForms, RandomBuffersMatchPlainLoop) {
    std::mt19937 random(20240611);
    const auto draw = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    for (int round = 0; round < 20000; ++round) {
        const auto fill = static_cast<std::uint8_t>(kFills[draw(0, 2)]);
        const std::int64_t offset = draw(0, 63);
        const std::int64_t length = draw(0, 5000);
        Bytes buffer(static_cast<std::size_t>(offset + length), fill);
        std::uint8_t* const data = buffer.data() + offset;
        for (int marks = draw(0, 4); marks > 0 && length > 0; --marks) {
            data[draw(0, static_cast<int>(length - 1))] = static_cast<std::uint8_t>(draw(0, 255));
        }
        ASSERT_EQ(kst::FindFirstOther(data, length, fill), PlainFirst(data, length, fill)) << round;
        ASSERT_EQ(kst::FindLastOther(data, length, fill), PlainLast(data, length, fill)) << round;
    }
}

} // namespace

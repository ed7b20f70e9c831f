// SPDX-License-Identifier: MIT
#include "zerotest.h"

#include <cstring>

namespace kst {
namespace {

using Word = std::uint64_t;
constexpr std::int64_t kWord = sizeof(Word);
// Several words are folded per step so the compiler can vectorise the loop.
constexpr std::int64_t kBlock = 8 * kWord;

Word Pattern(std::uint8_t fill) {
    return fill * Word{0x0101010101010101};
}

bool BlockDiffers(const std::uint8_t* p, Word pattern) {
    Word folded = 0;
    for (std::int64_t i = 0; i < kBlock; i += kWord) {
        Word w;
        std::memcpy(&w, p + i, kWord);
        folded |= w ^ pattern;
    }
    return folded != 0;
}

std::int64_t FirstInRange(const std::uint8_t* data, std::int64_t from, std::int64_t to,
                          std::uint8_t fill) {
    for (std::int64_t i = from; i < to; ++i) {
        if (data[i] != fill) {
            return i;
        }
    }
    return -1;
}

std::int64_t LastInRange(const std::uint8_t* data, std::int64_t from, std::int64_t to,
                         std::uint8_t fill) {
    for (std::int64_t i = to - 1; i >= from; --i) {
        if (data[i] != fill) {
            return i;
        }
    }
    return -1;
}

} // namespace

std::int64_t FindFirstOther(const std::uint8_t* data, std::int64_t length, std::uint8_t fill) {
    const Word pattern = Pattern(fill);
    std::int64_t at = 0;
    for (; at + kBlock <= length; at += kBlock) {
        if (BlockDiffers(data + at, pattern)) {
            return FirstInRange(data, at, at + kBlock, fill);
        }
    }
    return FirstInRange(data, at, length, fill);
}

std::int64_t FindLastOther(const std::uint8_t* data, std::int64_t length, std::uint8_t fill) {
    const Word pattern = Pattern(fill);
    std::int64_t end = length;
    for (; end - kBlock >= 0; end -= kBlock) {
        if (BlockDiffers(data + end - kBlock, pattern)) {
            return LastInRange(data, end - kBlock, end, fill);
        }
    }
    return LastInRange(data, 0, end, fill);
}

} // namespace kst

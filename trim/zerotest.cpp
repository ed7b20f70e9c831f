// SPDX-License-Identifier: MIT
#include "zerotest.h"

#include <cstring>

namespace kst {
namespace {

// The tests build this file again with KST_ZEROTEST_BASELINE (no AVX2) and
// KST_ZEROTEST_PORTABLE (plain words, as where GNU vectors are missing), so
// every form is checked on one machine.
#if defined(__GNUC__) && !defined(KST_ZEROTEST_PORTABLE)
#define KST_INLINE [[gnu::always_inline]] inline
// 32 bytes as four 64-bit lanes: one AVX2 register, or two SSE2 registers on
// the x86-64 baseline; plain words elsewhere.
using Lanes = std::uint64_t __attribute__((vector_size(32)));

KST_INLINE bool AnySet(const Lanes& v) {
    return (v[0] | v[1] | v[2] | v[3]) != 0;
}
#else
#define KST_INLINE inline
struct Lanes {
    std::uint64_t w[4];
};

inline Lanes operator|(Lanes a, Lanes b) {
    return {a.w[0] | b.w[0], a.w[1] | b.w[1], a.w[2] | b.w[2], a.w[3] | b.w[3]};
}

inline Lanes operator^(Lanes a, Lanes b) {
    return {a.w[0] ^ b.w[0], a.w[1] ^ b.w[1], a.w[2] ^ b.w[2], a.w[3] ^ b.w[3]};
}

inline bool AnySet(const Lanes& v) {
    return (v.w[0] | v.w[1] | v.w[2] | v.w[3]) != 0;
}
#endif

constexpr std::int64_t kLanes = sizeof(Lanes);
// Sixteen loads into four accumulators per test: both load ports stay busy
// and the horizontal test is paid once per 512 bytes. The exact byte is then
// found inside the one block that differs.
constexpr int kRounds = 4;
constexpr std::int64_t kBlock = kRounds * 4 * kLanes;

// kZero: the fill byte is 0, so the bytes need no xor before the or.
template <bool kZero>
KST_INLINE void OrIn(Lanes& acc, const std::uint8_t* p, const Lanes& pattern) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (kZero) {
        acc = acc | v;
    } else {
        acc = acc | (v ^ pattern);
    }
}

template <bool kZero> KST_INLINE bool BlockDiffers(const std::uint8_t* p, const Lanes& pattern) {
    Lanes a{};
    Lanes b{};
    Lanes c{};
    Lanes d{};
    for (int r = 0; r < kRounds; ++r, p += 4 * kLanes) {
        OrIn<kZero>(a, p, pattern);
        OrIn<kZero>(b, p + kLanes, pattern);
        OrIn<kZero>(c, p + 2 * kLanes, pattern);
        OrIn<kZero>(d, p + 3 * kLanes, pattern);
    }
    return AnySet((a | b) | (c | d));
}

KST_INLINE std::int64_t FirstInRange(const std::uint8_t* data, std::int64_t from, std::int64_t to,
                                     std::uint8_t fill) {
    for (std::int64_t i = from; i < to; ++i) {
        if (data[i] != fill) {
            return i;
        }
    }
    return -1;
}

KST_INLINE std::int64_t LastInRange(const std::uint8_t* data, std::int64_t from, std::int64_t to,
                                    std::uint8_t fill) {
    for (std::int64_t i = to - 1; i >= from; --i) {
        if (data[i] != fill) {
            return i;
        }
    }
    return -1;
}

template <bool kZero>
KST_INLINE std::int64_t FirstBody(const std::uint8_t* data, std::int64_t length,
                                  std::uint8_t fill) {
    Lanes pattern;
    std::memset(&pattern, fill, sizeof pattern);
    std::int64_t at = 0;
    for (; at + kBlock <= length; at += kBlock) {
        if (BlockDiffers<kZero>(data + at, pattern)) {
            return FirstInRange(data, at, at + kBlock, fill);
        }
    }
    return FirstInRange(data, at, length, fill);
}

template <bool kZero>
KST_INLINE std::int64_t LastBody(const std::uint8_t* data, std::int64_t length, std::uint8_t fill) {
    Lanes pattern;
    std::memset(&pattern, fill, sizeof pattern);
    std::int64_t end = length;
    for (; end >= kBlock; end -= kBlock) {
        if (BlockDiffers<kZero>(data + end - kBlock, pattern)) {
            return LastInRange(data, end - kBlock, end, fill);
        }
    }
    return LastInRange(data, 0, end, fill);
}

KST_INLINE std::int64_t FirstOf(const std::uint8_t* data, std::int64_t length, std::uint8_t fill) {
    return fill == 0 ? FirstBody<true>(data, length, fill) : FirstBody<false>(data, length, fill);
}

KST_INLINE std::int64_t LastOf(const std::uint8_t* data, std::int64_t length, std::uint8_t fill) {
    return fill == 0 ? LastBody<true>(data, length, fill) : LastBody<false>(data, length, fill);
}

using Finder = std::int64_t (*)(const std::uint8_t*, std::int64_t, std::uint8_t);

std::int64_t FirstBase(const std::uint8_t* data, std::int64_t length, std::uint8_t fill) {
    return FirstOf(data, length, fill);
}

std::int64_t LastBase(const std::uint8_t* data, std::int64_t length, std::uint8_t fill) {
    return LastOf(data, length, fill);
}

#if defined(__GNUC__) && defined(__x86_64__) && !defined(KST_ZEROTEST_BASELINE) &&                 \
    !defined(KST_ZEROTEST_PORTABLE)
// The same loops compiled for AVX2, taken when the processor has it.
[[gnu::target("avx2")]] std::int64_t FirstAvx2(const std::uint8_t* data, std::int64_t length,
                                               std::uint8_t fill) {
    return FirstOf(data, length, fill);
}

[[gnu::target("avx2")]] std::int64_t LastAvx2(const std::uint8_t* data, std::int64_t length,
                                              std::uint8_t fill) {
    return LastOf(data, length, fill);
}

bool HasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

Finder PickFirst() {
    return HasAvx2() ? FirstAvx2 : FirstBase;
}

Finder PickLast() {
    return HasAvx2() ? LastAvx2 : LastBase;
}
#else
Finder PickFirst() {
    return FirstBase;
}

Finder PickLast() {
    return LastBase;
}
#endif

} // namespace

std::int64_t FindFirstOther(const std::uint8_t* data, std::int64_t length, std::uint8_t fill) {
    static const Finder find = PickFirst();
    return find(data, length, fill);
}

std::int64_t FindLastOther(const std::uint8_t* data, std::int64_t length, std::uint8_t fill) {
    static const Finder find = PickLast();
    return find(data, length, fill);
}

} // namespace kst

// SPDX-License-Identifier: MIT
#include "fillpolicy.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <vector>

namespace kst {
namespace {

// Larger multiples than this could overflow the sizes they round.
constexpr std::int64_t kMaxMultiple = std::int64_t{1} << 50;

std::int64_t SuffixFactor(char suffix) {
    switch (std::toupper(static_cast<unsigned char>(suffix))) {
    case 'K':
        return std::int64_t{1} << 10;
    case 'M':
        return std::int64_t{1} << 20;
    case 'G':
        return std::int64_t{1} << 30;
    }
    return 0;
}

} // namespace

std::optional<Alignment> ParseAlignment(std::string_view text) {
    if (text == "pow2") {
        return Alignment{0, true};
    }
    std::int64_t factor = 1;
    if (!text.empty() && SuffixFactor(text.back()) != 0) {
        factor = SuffixFactor(text.back());
        text.remove_suffix(1);
    }
    std::int64_t count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || count < 1 ||
        count > kMaxMultiple / factor) {
        return std::nullopt;
    }
    return Alignment{count * factor, false};
}

std::int64_t AlignedSize(const Alignment& alignment, std::int64_t size) {
    if (alignment.pow2) {
        return static_cast<std::int64_t>(std::bit_ceil(static_cast<std::uint64_t>(size)));
    }
    const std::int64_t rest = size % alignment.multiple;
    return rest == 0 ? size : size + alignment.multiple - rest;
}

TailPlan PlanTail(const Alignment& alignment, const MeasuredRuns& runs, std::int64_t pad) {
    const std::int64_t output = pad + runs.inputSize - runs.frontRun - runs.tailRun;
    const std::int64_t grow = AlignedSize(alignment, output) - output;
    if (grow > runs.tailRun) {
        return TailPlan{0, false};
    }
    return TailPlan{runs.tailRun - grow, true};
}

FillChoice ChooseFill(const InputFile& input, std::int64_t size) {
    std::uint8_t last = 0;
    if (size < 1 || input.ReadAt(size - 1, &last, 1) != 1) {
        return FillChoice{0, std::nullopt};
    }
    const bool padding = last == 0x00 || last == 0xFF;
    return FillChoice{padding ? last : std::uint8_t{0}, last};
}

std::optional<std::uint8_t> OtherRunBeforeTail(const InputFile& input, std::uint8_t fill,
                                               std::int64_t inputSize, std::int64_t tailRun,
                                               std::optional<std::uint8_t> byteBefore) {
    const std::int64_t runStart = inputSize - tailRun;
    const std::uint8_t other = fill == 0x00 ? 0xFF : 0x00;
    if (tailRun < 1 || runStart < kOtherRunWarnFrom || (byteBefore && *byteBefore != other)) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> before(static_cast<std::size_t>(kOtherRunWarnFrom));
    const bool read = input.ReadAt(runStart - kOtherRunWarnFrom, before.data(),
                                   kOtherRunWarnFrom) == kOtherRunWarnFrom;
    if (!read ||
        std::any_of(before.begin(), before.end(), [other](std::uint8_t b) { return b != other; })) {
        return std::nullopt;
    }
    return other;
}

} // namespace kst

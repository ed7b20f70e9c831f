// SPDX-License-Identifier: MIT
#include "guards.h"

#include "file.h"
#include "groupdigits.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <vector>

namespace kst::cli {
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

std::string ByteText(std::uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

// bytes read from input at pos, or fewer when it cannot be read.
std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& input, std::int64_t pos,
                                    std::int64_t length) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    InputFile file;
    const std::int64_t read =
        file.Open(input, InputFile::Watch::None) ? file.ReadAt(pos, bytes.data(), length) : 0;
    bytes.resize(static_cast<std::size_t>(std::max<std::int64_t>(read, 0)));
    return bytes;
}

std::optional<std::uint8_t> LastByte(const std::filesystem::path& input) {
    InputFile file;
    const std::int64_t size = file.Open(input, InputFile::Watch::None) ? file.Size() : -1;
    std::uint8_t byte = 0;
    if (size < 1 || file.ReadAt(size - 1, &byte, 1) != 1) {
        return std::nullopt;
    }
    return byte;
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

FillChoice ChooseFill(const std::filesystem::path& input) {
    const std::optional<std::uint8_t> last = LastByte(input);
    if (!last) {
        return FillChoice{0, "--fill auto: no last byte to read; nothing to trim at the end"};
    }
    if (*last == 0x00 || *last == 0xFF) {
        return FillChoice{*last, "--fill auto: " + ByteText(*last) + ", the last byte"};
    }
    return FillChoice{0, "--fill auto: the last byte is " + ByteText(*last) +
                             ", neither 0x00 nor 0xFF; nothing to trim at the end"};
}

std::string FillRunWarning(const std::filesystem::path& input, std::uint8_t fill,
                           std::int64_t inputSize, std::int64_t tailRun) {
    const std::int64_t runStart = inputSize - tailRun;
    if (tailRun < 1 || runStart < kOtherRunWarnFrom) {
        return {};
    }
    const std::uint8_t other = fill == 0x00 ? 0xFF : 0x00;
    const std::vector<std::uint8_t> before =
        ReadBytes(input, runStart - kOtherRunWarnFrom, kOtherRunWarnFrom);
    if (static_cast<std::int64_t>(before.size()) < kOtherRunWarnFrom ||
        std::any_of(before.begin(), before.end(), [other](std::uint8_t b) { return b != other; })) {
        return {};
    }
    return "warning: the tail run of " + ByteText(fill) + " (" + GroupDigits(tailRun) +
           " bytes) follows " + GroupDigits(kOtherRunWarnFrom) + " or more bytes of " +
           ByteText(other) + ", which stay in the copy: padding of the other byte, or data?";
}

} // namespace kst::cli

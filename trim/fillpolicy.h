// SPDX-License-Identifier: MIT
#pragma once

#include "file.h"
#include "trimjob.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace kst {

// The output (pad included) kept a multiple of `multiple` bytes, or with
// pow2 a power of two, by removing less of the tail run.
struct Alignment {
    std::int64_t multiple = 0; // unused with pow2
    bool pow2 = false;
};

// "pow2", or a positive decimal count with an optional K, M or G (powers of
// 1024) in either case; nullopt for anything else.
std::optional<Alignment> ParseAlignment(std::string_view text);

// The smallest aligned size at or above size.
std::int64_t AlignedSize(const Alignment& alignment, std::int64_t size);

// How much of the tail run to remove so that pad + kept bytes align. When
// the run is too short for that the whole of it is kept and reached is false.
struct TailPlan {
    std::int64_t removed = 0;
    bool reached = true;
};
TailPlan PlanTail(const Alignment& alignment, const MeasuredRuns& runs, std::int64_t pad);

// The fill taken from the input's last byte when it is 0x00 or 0xFF. For any
// other last byte (or none) there is nothing to trim at the end; 0x00 is used
// then, which only the leading run can find. Read from the input the job
// holds (JobOptions::chooseFill).
struct FillChoice {
    std::uint8_t fill = 0;
    std::optional<std::uint8_t> lastByte; // nullopt: empty or unreadable
    bool FromLastByte() const { return lastByte && *lastByte == fill; }
};
FillChoice ChooseFill(const InputFile& input, std::int64_t size);

// A run of the other byte this long right before the tail run is worth a
// warning: it may be padding too, or data that happens to end in it.
inline constexpr std::int64_t kOtherRunWarnFrom = 1024;

// The other byte when kOtherRunWarnFrom bytes of it lie right before the
// tail run of fill (tailRun bytes, at least one); nullopt otherwise. The
// byte before the run, when the scan saw it, spares most inputs the read.
std::optional<std::uint8_t> OtherRunBeforeTail(const InputFile& input, std::uint8_t fill,
                                               std::int64_t inputSize, std::int64_t tailRun,
                                               std::optional<std::uint8_t> byteBefore = {});

} // namespace kst

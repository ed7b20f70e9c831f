// SPDX-License-Identifier: MIT
// Writes that stop short. Windows fails such a WriteFile whole; Wine may
// instead report success with fewer bytes, and fail only the next call. The
// runner caps file sizes (KESTRUNE_WINE_FSIZE_KIB) to get both.
#include "jobfixture.h"

#include <cstdlib>

namespace {

using kst::Field;
using kst::Option;

constexpr std::int64_t kCap = 64 * 1024;

bool Capped() {
    const char* kib = std::getenv("KESTRUNE_WINE_FSIZE_KIB");
    return kib != nullptr && std::atoll(kib) * 1024 == kCap;
}

struct CapRow {
    const char* name;
    const char* pad;
    std::int64_t chunkUnit;
};

class FileSizeCap : public JobTest, public testing::WithParamInterface<CapRow> {};

// The input stays below the cap; the pad pushes the output across it.
TEST_P(FileSizeCap, FailsAndRemovesTheOutput) {
    if (!Capped()) {
        GTEST_SKIP() << "runs under a 64 KiB file-size cap only";
    }
    const Bytes bytes = Filled(60000, {0, 49999});
    Drop("in.bin", bytes);
    options.chunkUnit = GetParam().chunkUnit;
    host.Tick(Option::TrimLeading);
    host.Tick(Option::WritePad);
    host.texts[Field::PadText] = GetParam().pad;
    EXPECT_EQ(Failure(), WriteFailed(Output()));
    EXPECT_NE(host.log.back(), kst::msg::kFinished);
    EXPECT_EQ(host.events.back(), "buttons:idle");
    EXPECT_FALSE(std::filesystem::exists(Output()));
    EXPECT_EQ(ReadAll(input), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FileSizeCap,
    testing::Values(
        // Pad blocks of 64 KiB: the first ends at the cap, the second fails whole.
        CapRow{"PadPastCap", "70000", 1000},
        // The full chunk [30000, 70000) stores 35536 bytes, then fails.
        CapRow{"ShortInFullChunk", "30000", 40000},
        // Full chunks end at 60000; the last [60000, 70000) stops short.
        CapRow{"ShortInLastChunk", "20000", 20000}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

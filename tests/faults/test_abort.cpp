// SPDX-License-Identifier: MIT
// Abort pressed in the yield after each full chunk of the copy: the job stops
// at the next chunk's head, keeps the pad and the chunks written, and says it
// aborted. Pressed after the last full chunk it is not seen: the copy ends.
#include "faultsupport.h"
#include "jobfixture.h"

namespace {

using kst::Field;
using kst::Option;

constexpr int kFullChunks = 6; // 61 kept bytes in chunks of 10
constexpr std::size_t kKept = 61;
constexpr std::size_t kPad = 4;

class AbortAt : public JobTest, public testing::WithParamInterface<int> {};

TEST_P(AbortAt, KeepsWhatWasWrittenAndSaysSo) {
    const int pressed = GetParam(); // after this full chunk, from 0
    const Bytes bytes = Framed(3, kKept, 11, 41);
    Drop("in.bin", bytes);
    host.Tick(Option::TrimLeading);
    host.Tick(Option::WritePad);
    host.texts[Field::PadText] = std::to_string(kPad);
    int copyYields = 0;
    host.onYield = [&](int) {
        const bool copying = host.log.back() != kst::msg::kScanningTrailing &&
                             host.log.back() != kst::msg::kScanningLeading;
        if (copying && copyYields++ == pressed) {
            host.abortflag = true;
        }
    };
    const Outcome got = RunJob(host, options, Output());

    const bool seen = pressed < kFullChunks - 1;
    const std::size_t copied = seen ? 10 * static_cast<std::size_t>(pressed + 1) : kKept;
    const Bytes want = Padded(kPad, bytes, 3, 3 + copied);
    EXPECT_EQ(got, (Outcome{seen ? "Aborted" : "Finished",
                            seen ? kst::msg::kAborted : kst::msg::kFinished, want,
                            seen ? pressed + 1 : kFullChunks}));
    EXPECT_EQ(host.events.end()[-2], "buttons:idle");
    EXPECT_EQ(ReadAll(input), bytes);
    EXPECT_TRUE(InputFree());
}

INSTANTIATE_TEST_SUITE_P(Chunks, AbortAt, testing::Range(0, kFullChunks), [](const auto& info) {
    return info.param < kFullChunks - 1 ? "AfterChunk" + std::to_string(info.param)
                                        : std::string("AfterLastFullChunk");
});

} // namespace

// SPDX-License-Identifier: MIT
#include "scan.h"

#include "zerotest.h"

namespace kst {

void ScanLeadingZeros(JobState& state, JobHost& host) {
    const auto [chunks, rest] = state.grid;
    for (std::int64_t k = 0; k < chunks && state.fzero == -1; ++k) {
        host.SetGauge(ProgressValue(k, chunks));
        host.Yield();
        const std::int64_t length = k == chunks - 1 ? rest : state.bufsize;
        const std::int64_t start = k * state.bufsize;
        const std::uint8_t* const data = ReadChunk(state, start, length);
        if (const std::int64_t p = FindFirstOther(data, length, state.fill); p >= 0) {
            state.fzero = start + p;
        }
    }
}

void ScanTrailingZeros(JobState& state, JobHost& host) {
    const auto [chunks, rest] = state.grid;
    for (std::int64_t k = chunks; k > 0; --k) {
        // Progress and the yield come before the found test, so one more
        // update follows the chunk that held the byte.
        host.SetGauge(ProgressValue(k, chunks));
        host.Yield();
        if (state.mzero != -1) {
            return;
        }
        const std::int64_t length = k == 1 ? rest : state.bufsize;
        const std::int64_t behind = (chunks - k) * state.bufsize; // bytes after this chunk
        const std::uint8_t* const data = ReadChunk(state, state.insize - behind - length, length);
        if (const std::int64_t p = FindLastOther(data, length, state.fill); p >= 0) {
            state.mzero = behind + (length - p) - 1;
        }
    }
}

} // namespace kst

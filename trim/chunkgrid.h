// SPDX-License-Identifier: MIT
#pragma once

#include "engineonly.h"

#include <cstdint>

namespace kst {

// A length cut into chunks - 1 full chunks and one last chunk of rest bytes
// (possibly 0); even an empty length has one chunk.
struct ChunkGrid {
    std::int64_t chunks = 1;
    std::int64_t rest = 0;
};

// Throws the runtime's division failures when bufsize is 0.
ChunkGrid MakeChunkGrid(std::int64_t length, std::int64_t bufsize);

// Integer part of k * 100 / n.
int ProgressValue(std::int64_t k, std::int64_t n);

} // namespace kst

// SPDX-License-Identifier: MIT
#include "chunkgrid.h"

#include "joberror.h"
#include "messages.h"

namespace kst {

ChunkGrid MakeChunkGrid(std::int64_t length, std::int64_t bufsize) {
    if (bufsize == 0) {
        // 0/0 and n/0 fail differently in the runtime the texts come from.
        throw length == 0 ? JobError(ErrorKind::InvalidOperation, msg::kInvalidOperation)
                          : JobError(ErrorKind::DivideByZero, msg::kDivideByZero);
    }
    return ChunkGrid{length / bufsize + 1, length % bufsize};
}

int ProgressValue(std::int64_t k, std::int64_t n) {
    return static_cast<int>(k * 100 / n);
}

} // namespace kst

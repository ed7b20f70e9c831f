// SPDX-License-Identifier: MIT
#include "jobstate.h"

#include "joberror.h"
#include "messages.h"

#include <limits>
#include <new>

namespace kst {

std::uint8_t* ChunkBuffer::SetLength(std::int64_t length) {
    if (length > capacity_) {
        bytes_.reset(); // given back first, so the old and new never need room together
        capacity_ = 0;
        try {
            if (static_cast<std::uint64_t>(length) > std::numeric_limits<std::size_t>::max()) {
                throw std::bad_alloc();
            }
            bytes_ =
                std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(length));
        } catch (const std::bad_alloc&) {
            throw JobError(ErrorKind::OutOfMemory, msg::kOutOfMemory);
        }
        capacity_ = length;
    }
    length_ = length;
    return bytes_.get();
}

const std::uint8_t* ReadChunk(JobState& state, std::int64_t pos, std::int64_t length) {
    std::uint8_t* const data = state.chunkbuf.SetLength(length);
    if (state.instream.ReadAt(pos, data, length) != length) {
        ThrowReadFailure(state);
    }
    // Tested after the read: a write that raced it has moved the stamp by now.
    VerifyInputUnchanged(state);
    return data;
}

void ThrowReadFailure(const JobState& state) {
    VerifyInputUnchanged(state);
    throw JobError(ErrorKind::ReadFailed, FormatMessage(msg::kReadFailed, state.inputText),
                   state.instream.LastError());
}

void VerifyInputUnchanged(const JobState& state) {
    if (!state.instream.Unchanged()) {
        throw JobError(ErrorKind::InputChanged, FormatMessage(msg::kInputChanged, state.inputText));
    }
}

} // namespace kst

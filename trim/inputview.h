// SPDX-License-Identifier: MIT
#pragma once

#include "engineonly.h"

#include "file.h"

#include <cstdint>

namespace kst {

// Part of an input mapped into memory, read-only: a scan tests the bytes
// where they lie in the system's cache, with no copy into a buffer of its
// own. Where the platform maps nothing, Map fails and the scan reads instead.
class InputView {
public:
    InputView() = default;
    ~InputView();
    InputView(const InputView&) = delete;
    InputView& operator=(const InputView&) = delete;

    // Maps [pos, pos + length) of input, in place of what was mapped before;
    // false when it cannot be mapped.
    bool Map(const InputFile& input, std::int64_t pos, std::int64_t length);
    // True when [pos, pos + length) of the input is mapped.
    bool Holds(std::int64_t pos, std::int64_t length) const;

    // True when the page holding the mapped byte at pos is in the system's
    // cache; asking starts no read.
    bool Cached(std::int64_t pos) const;

    // A test of mapped bytes. It is abandoned midway when a page cannot be
    // had, so it must hold nothing that needs undoing: no lock, no memory.
    using Test = std::int64_t (*)(const std::uint8_t* data, std::int64_t length,
                                  const void* context);
    // Runs test on the mapped bytes [pos, pos + length), which Holds, and
    // stores what it returns in result. False, with result unset, when a
    // page could not be had: the file was cut short beneath the mapping, or
    // the device failed.
    bool Run(std::int64_t pos, std::int64_t length, Test test, const void* context,
             std::int64_t& result) const;

    // Page faults the calling thread has taken so far; -1 where the system
    // does not count them.
    static std::int64_t ThreadFaults();

private:
    void Unmap();

    std::uint8_t* base_ = nullptr; // the mapping, starting on a page
    std::int64_t from_ = 0;        // the input offset of base_
    std::int64_t length_ = 0;      // bytes mapped from there
};

} // namespace kst

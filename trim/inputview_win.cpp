// SPDX-License-Identifier: MIT
// Scans read the input on Windows: a view would turn a file cut short or a
// failing device into an exception the compiler here cannot catch.
#include "inputview.h"

namespace kst {

InputView::~InputView() = default;

bool InputView::Map(const InputFile&, std::int64_t, std::int64_t) {
    return false;
}

bool InputView::Holds(std::int64_t, std::int64_t) const {
    return false;
}

bool InputView::Cached(std::int64_t) const {
    return false;
}

bool InputView::Run(std::int64_t, std::int64_t, Test, const void*, std::int64_t&) const {
    return false;
}

std::int64_t InputView::ThreadFaults() {
    return -1;
}

void InputView::Unmap() {}

} // namespace kst

// SPDX-License-Identifier: MIT
#include "RunningMarker.h"

namespace kst::win {

RunningMarker::RunningMarker() : mutex_(CreateMutexW(nullptr, FALSE, kRunningMutexName)) {}

RunningMarker::~RunningMarker() {
    if (mutex_ != nullptr) {
        CloseHandle(mutex_);
    }
}

} // namespace kst::win

// SPDX-License-Identifier: MIT
#pragma once

#include "engineonly.h"

#include "jobhost.h"
#include "jobstate.h"

namespace kst {

// Walks the leading grid from the start; sets state.fzero to the offset of
// the first byte other than state.fill, or leaves it -1.
void ScanLeadingZeros(JobState& state, JobHost& host);

// Walks the trailing grid from the end; sets state.mzero to the number of
// bytes after the last byte other than state.fill, or leaves it -1.
void ScanTrailingZeros(JobState& state, JobHost& host);

} // namespace kst

// SPDX-License-Identifier: MIT
#pragma once

#include "engineonly.h"

#include "jobhost.h"
#include "jobstate.h"
#include "trimjob.h"

namespace kst {

// Creates the output, writes the optional zero pad and copies the kept bytes
// chunk by chunk, testing Abort before each full chunk. Returns Finished or
// Aborted with both files released and the idle buttons back. On failure the
// incomplete output is removed; only an abort keeps a partial one.
JobEnding WriteTrimmedCopy(JobState& state, JobHost& host);

// The pad length, or -1 when no pad is asked for. Read before the output is
// created, so a bad text never empties an existing file of that name.
std::int64_t ReadPadCount(JobHost& host);

} // namespace kst

// SPDX-License-Identifier: MIT
#pragma once

namespace kst::cli {

// Turns SIGINT and SIGTERM into a request to stop the run: the job in hand
// ends at its next chunk and no further file is started. A second signal ends
// the program at once. A signal the process was started ignoring stays
// ignored (a background job keeps running through Ctrl-C). On Windows a
// console's Ctrl-C or Ctrl-Break asks the same, as SIGINT.
void InstallStopHandlers();

// The signal that asked to stop, or 0.
int StopSignal();

} // namespace kst::cli

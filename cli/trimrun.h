// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>

namespace kst::cli {

// The whole command: parses argv, then trims or restores. Reports go to out,
// the log and the summary line to err. Returns the exit status.
int RunCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

} // namespace kst::cli

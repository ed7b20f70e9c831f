// SPDX-License-Identifier: MIT
#pragma once

#include "options.h"

#include <iosfwd>

namespace kst::cli {

// Rebuilds each record's input from its trimmed file and commits it under the
// input's name only once the trimmed file's digests and the rebuilt bytes'
// digests both match the record. Returns the exit status.
int RestoreAll(const RestoreOptions& options, std::ostream& out, std::ostream& err);

} // namespace kst::cli

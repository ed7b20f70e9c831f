// SPDX-License-Identifier: MIT
#pragma once

#include "report.h"

#include <filesystem>

namespace bench {

// kestrune-cli --hash sha256, digests of input and output taken in the
// trim's own pass, against sha256sum of both files afterwards.
void HashRows(Report& report, const std::filesystem::path& folder);

} // namespace bench

// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace kst {

// A system error code as the platform reports it: errno on POSIX,
// GetLastError() on Windows; 0 for none.
using OsErrorCode = int;

// True for the codes that mean another process holds the file: a lock on
// POSIX, a sharing or lock violation on Windows.
bool IsHeldElsewhere(OsErrorCode code);

// The code's stable symbolic name, such as "ENOSPC" or
// "ERROR_SHARING_VIOLATION", for machine-readable reports; empty for 0.
std::string OsErrorName(OsErrorCode code);

// The system's own text for the code, in UTF-8 without a trailing newline;
// empty for 0.
std::string OsErrorText(OsErrorCode code);

} // namespace kst

// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace kst {

// True when text is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);

// A name fit for a terminal or a log: control characters (C0, DEL, C1) and
// bytes that are not UTF-8 become \xNN, so a name can never move the cursor,
// retitle the window or clear the screen. Everything else stays as it is.
std::string EscapeControls(std::string_view text);

} // namespace kst

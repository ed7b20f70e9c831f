// SPDX-License-Identifier: MIT
#include "joberror.h"

namespace kst {

std::string FormatMessage(std::string_view pattern, std::string_view arg) {
    std::string text(pattern);
    if (const auto at = text.find("%s"); at != std::string::npos) {
        text.replace(at, 2, arg);
    }
    return text;
}

} // namespace kst

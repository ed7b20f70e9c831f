// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace kst {

// A failure that ends the job; what() is the UTF-8 Japanese message shown
// in the failure box.
class JobError : public std::runtime_error {
public:
    explicit JobError(const std::string& message) : std::runtime_error(message) {}
};

// Replaces the first "%s" of pattern with arg.
std::string FormatMessage(std::string_view pattern, std::string_view arg);

} // namespace kst

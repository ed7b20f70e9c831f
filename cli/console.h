// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

namespace kst::cli {

// While it lives, std::cout and std::cerr write to a Windows console as wide
// text, so their UTF-8 shows rightly whatever the console's code page; to a
// pipe or a file they go on as UTF-8 bytes. Elsewhere it does nothing.
class ConsoleStreams {
public:
    ConsoleStreams();
    ~ConsoleStreams();
    ConsoleStreams(const ConsoleStreams&) = delete;
    ConsoleStreams& operator=(const ConsoleStreams&) = delete;

private:
    struct Routes;
    std::unique_ptr<Routes> routes_;
};

} // namespace kst::cli

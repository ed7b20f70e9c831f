// SPDX-License-Identifier: MIT
#include "console.h"
#include "trimrun.h"
#include "winargs.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, [[maybe_unused]] char** argv) {
    const kst::cli::ConsoleStreams console;
#ifdef _WIN32
    // Split here, as the runtime's narrow argv would be in the ANSI code page
    // and would not say which arguments were quoted.
    std::vector<std::string> args;
    for (kst::cli::CommandArgument& arg : kst::cli::ProcessCommandLine()) {
        args.push_back(std::move(arg.text));
    }
    std::vector<const char*> pointers;
    for (const std::string& arg : args) {
        pointers.push_back(arg.c_str());
    }
    argc = static_cast<int>(pointers.size());
    const char* const* const arguments = pointers.data();
#else
    const char* const* const arguments = argv;
#endif
    return kst::cli::RunCommand(argc, arguments, std::cout, std::cerr);
}

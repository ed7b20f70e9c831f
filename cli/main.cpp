// SPDX-License-Identifier: MIT
#include "trimrun.h"

#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#endif

namespace {

#ifdef _WIN32
// The job takes UTF-8 paths; the narrow argv would be in the ANSI code page.
std::vector<std::string> Utf8Arguments() {
    int argc = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
        args.push_back(std::move(arg));
    }
    ::LocalFree(wide);
    return args;
}
#endif

} // namespace

#ifdef _WIN32
int main() {
    ::SetConsoleOutputCP(CP_UTF8);
    const std::vector<std::string> args = Utf8Arguments();
    std::vector<const char*> pointers;
    for (const std::string& arg : args) {
        pointers.push_back(arg.c_str());
    }
    return kst::cli::RunCommand(static_cast<int>(pointers.size()), pointers.data(), std::cout,
                                std::cerr);
}
#else
int main(int argc, char** argv) {
    return kst::cli::RunCommand(argc, argv, std::cout, std::cerr);
}
#endif

// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

struct CliRun {
    int status = -1; // exit status, or 128 + the signal that ended it
    std::string out;
    std::string err;
    std::vector<std::string> ErrLines() const {
        std::vector<std::string> lines;
        std::istringstream in(err);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
};

struct CliSetup {
    std::filesystem::path cwd; // empty: the test's own
    // The three below are POSIX only.
    // RLIMIT_FSIZE for the child (SIGXFSZ ignored), so writes fall short.
    std::int64_t fileSizeLimit = -1;
    // stderr on a pseudo-terminal instead of a pipe.
    bool stderrTerminal = false;
    // Sees each stderr line as it arrives; returns a signal to send, or 0.
    std::function<int(const std::string&)> onErrLine;
};

// Runs the built kestrune-cli with args and waits for it (60 s at most).
CliRun RunCli(const std::vector<std::string>& args, const CliSetup& setup = {});

#ifdef _WIN32
// Runs command through cmd.exe /c, kestrune-cli.exe on the PATH, as typed at
// a prompt: cmd leaves the wildcards and quotes to the program.
CliRun RunInCmd(const std::string& command, const CliSetup& setup = {});
#endif

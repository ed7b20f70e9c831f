// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
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
    // The two below are POSIX only.
    // RLIMIT_FSIZE for the child (SIGXFSZ ignored), so writes fall short.
    std::int64_t fileSizeLimit = -1;
    // stderr on a pseudo-terminal instead of a pipe.
    bool stderrTerminal = false;
    // Sees each stderr line as it arrives; returns a signal to send, or 0.
    // On Windows only SIGINT, sent as the console's Ctrl-C.
    std::function<int(const std::string&)> onErrLine;
};

// The runners' side of onErrLine: hands each whole line of the growing
// stderr text to it, and a signal it returns to send.
class ErrLineWatcher {
public:
    ErrLineWatcher(const CliSetup& setup, std::function<void(int)> send)
        : setup_(setup), send_(std::move(send)) {}
    void Feed(const std::string& err) {
        std::size_t end;
        while (setup_.onErrLine && (end = err.find('\n', seen_)) != std::string::npos) {
            std::string line = err.substr(seen_, end - seen_);
            seen_ = end + 1;
            if (line.ends_with('\r')) { // Windows' text mode
                line.pop_back();
            }
            if (const int signal = setup_.onErrLine(line)) {
                send_(signal);
            }
        }
    }

private:
    const CliSetup& setup_;
    std::function<void(int)> send_;
    std::size_t seen_ = 0;
};

// Runs the built kestrune-cli with args and waits for it (60 s at most).
CliRun RunCli(const std::vector<std::string>& args, const CliSetup& setup = {});

#ifdef _WIN32
// Runs command through cmd.exe /c, kestrune-cli.exe on the PATH, as typed at
// a prompt: cmd leaves the wildcards and quotes to the program.
CliRun RunInCmd(const std::string& command, const CliSetup& setup = {});
#endif

// SPDX-License-Identifier: MIT
#pragma once

#include "fillpolicy.h"
#include "hashkinds.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace kst::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// The command line, already checked. Number options keep their text, since
// the job reads them as the window's controls through its own parser.
struct CliOptions {
    std::vector<std::string> files;
    std::optional<std::string> outDir;
    std::string chunk = "1";
    bool leading = false;
    std::optional<std::string> pad;
    bool measureOnly = false;
    std::uint8_t fill = 0;
    bool fillAuto = false; // fill picked per file from its last byte
    std::optional<Alignment> align;
    bool recursive = false;
    bool skipExisting = false;
    bool json = false;
    bool progress = false;
    std::int64_t chunkUnit = 1000000;
    std::vector<HashKind> hashes; // --hash
    bool record = false;
};

// The restore subcommand's.
struct RestoreOptions {
    std::vector<std::string> records;
    std::optional<std::string> outDir;
    bool force = false;
    bool json = false;
};

// Options to run with, or the exit status once help, the version or a usage
// error has been printed.
struct CommandLine {
    std::optional<CliOptions> options;
    int exitStatus = kExitOk;
    std::optional<RestoreOptions> restore; // the restore subcommand instead
};

CommandLine ParseCommandLine(int argc, const char* const* argv, std::ostream& out,
                             std::ostream& err);

} // namespace kst::cli

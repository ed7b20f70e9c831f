// SPDX-License-Identifier: MIT
#include "options.h"

#include "intparse.h"
#include "joberror.h"
#include "kestrune_version.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <limits>

namespace kst::cli {
namespace {

// Accepts what the window's integer parser accepts ("16", " 16", "$10",
// "0x10"), within [low, high], so a number that would fail in the job is a
// usage error before any file is touched.
CLI::Validator IntegerText(std::int32_t low, std::int32_t high) {
    const std::string range = std::to_string(low) + " to " + std::to_string(high);
    return CLI::Validator(
        [low, high, range](const std::string& text) -> std::string {
            try {
                const std::int32_t value = StrToInt(text);
                if (value >= low && value <= high) {
                    return {};
                }
            } catch (const JobError&) {
            }
            return "'" + text + "' is not an integer from " + range;
        },
        "");
}

// "0x00" or "0xFF" in either case, turned into the byte's decimal value.
CLI::Validator FillByte() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            std::string lower = text;
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (lower != "0x00" && lower != "0xff") {
                return "'" + text + "' is not 0x00 or 0xFF";
            }
            text = lower == "0x00" ? "0" : "255";
            return {};
        },
        "");
}

void AddOptions(CLI::App& app, CliOptions& o, int& fill) {
    app.add_option("FILE", o.files, "Files to trim, one after another")->required();
    app.add_option("-o,--out-dir", o.outDir,
                   "Write each copy into DIR (an existing folder) instead of beside its input")
        ->type_name("DIR")
        ->check(CLI::Validator(CLI::ExistingDirectory).description(""));
    app.add_option("-c,--chunk", o.chunk,
                   "Chunk size in units of 1,000,000 bytes, 1 to 2147 (default 1)")
        ->type_name("MB")
        ->check(IntegerText(1, 2147));
    CLI::Option* leading =
        app.add_flag("-l,--leading", o.leading, "Also remove the run at the start");
    app.add_option("-p,--pad", o.pad, "Write N zero bytes ahead of the kept bytes (with --leading)")
        ->type_name("N")
        ->check(IntegerText(0, std::numeric_limits<std::int32_t>::max()))
        ->needs(leading);
    app.add_flag("-m,--measure-only", o.measureOnly, "Measure and report; write nothing");
    app.add_option("-f,--fill", fill, "The byte whose runs are trimmed (default 0x00)")
        ->type_name("0x00|0xFF")
        ->check(FillByte());
    app.add_flag("--json", o.json, "Print one JSON object per file on stdout");
    app.add_flag("--progress", o.progress, "Show a progress bar when stderr is a terminal");
    // Tests need many chunks from small files; not part of the documented use.
    app.add_option("--chunk-unit", o.chunkUnit, "Bytes per --chunk unit")
        ->group("")
        ->check(CLI::Range(std::int64_t{1}, std::int64_t{1000000}));
    app.set_version_flag("--version", "kestrune-cli " KESTRUNE_VERSION_STRING);
}

} // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv, std::ostream& out,
                             std::ostream& err) {
    CliOptions options;
    int fill = 0;
    CLI::App app{"Trims the run of 0x00 (or 0xFF) bytes at the end of each FILE, and on request "
                 "at its start, into a copy named name(KST).ext.",
                 "kestrune-cli"};
    AddOptions(app, options, fill);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return CommandLine{std::nullopt, app.exit(e, out, err) == 0 ? kExitOk : kExitUsage};
    }
    options.fill = static_cast<std::uint8_t>(fill);
    return CommandLine{std::move(options), kExitOk};
}

} // namespace kst::cli

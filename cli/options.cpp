// SPDX-License-Identifier: MIT
#include "options.h"

#include "intparse.h"
#include "joberror.h"
#include "kestrune_version.h"
#include "outputpath.h"

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

// "0x00" or "0xFF" in either case, turned into the byte's decimal value, or
// "auto", turned into kFillAuto.
constexpr int kFillAuto = -1;
CLI::Validator FillByte() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            std::string lower = text;
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (lower != "0x00" && lower != "0xff" && lower != "auto") {
                return "'" + text + "' is not 0x00, 0xFF or auto";
            }
            text = std::to_string(lower == "auto" ? kFillAuto : lower == "0x00" ? 0 : 255);
            return {};
        },
        "");
}

CLI::Validator AlignmentText() {
    return CLI::Validator(
        [](const std::string& text) -> std::string {
            return ParseAlignment(text) ? std::string() : "'" + text + "' is not pow2 or a size";
        },
        "");
}

// A --hash list of known names.
CLI::Validator HashList() {
    return CLI::Validator(
        [](const std::string& text) -> std::string {
            if (!ParseHashList(text)) {
                return "'" + text + "' is not a list of crc32, md5, sha1, sha256";
            }
            return {};
        },
        "");
}

CLI::App* AddRestore(CLI::App& app, RestoreOptions& r) {
    CLI::App* restore = app.add_subcommand(
        "restore", "Rebuild each trimmed file's original from its record and prove it by the "
                   "record's digests; nothing is left under the original's name unless all match");
    restore->add_option("RECORD", r.records, "Records (NAME.kstrec) beside their trimmed files")
        ->required();
    restore
        ->add_option("-o,--out-dir", r.outDir,
                     "Write the originals into DIR instead of beside their records")
        ->type_name("DIR")
        ->check(CLI::Validator(CLI::ExistingDirectory).description(""));
    restore->add_flag("--force", r.force, "Replace a file already at the original's name");
    restore->add_flag("--json", r.json, "Print one JSON object per record on stdout");
    return restore;
}

void AddProofOptions(CLI::App& app, CliOptions& o, std::string& hashText) {
    app.add_option("--hash", hashText,
                   "Digests of the input and the output, any of crc32,md5,sha1,sha256, taken "
                   "while copying (kept bytes read through the program, not the kernel's copy); "
                   "with --measure-only or nothing to trim, the kept bytes are read once more "
                   "for them after measuring, the removed runs counted, not read")
        ->type_name("LIST")
        ->check(HashList());
    app.add_flag("--record", o.record,
                 "After each complete copy, write beside it NAME.kstrec: what was removed and "
                 "the digests (sha256 without --hash), for restore");
}

void AddOptions(CLI::App& app, CliOptions& o, int& fill, std::string& align) {
    app.add_option("FILE", o.files, "Files to trim, one after another");
    app.footer("A run of one fill byte right after " + std::to_string(kOtherRunWarnFrom) +
               " or more bytes of the other is warned about. Stderr ends with a summary line. "
               "Exit status: 0 all fine, 1 a file failed, 2 bad usage, 130 after Ctrl-C, 143 after "
               "SIGTERM.\n\n"
               "Examples:\n"
               "  kestrune-cli --json roms/*.bin          (Linux: the shell expands *.bin)\n"
               "  kestrune-cli.exe --json roms\\*.bin      (Windows: /? for this help)");
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
    app.add_option("-f,--fill", fill,
                   "The byte whose runs are trimmed (default 0x00); auto: the file's last byte "
                   "if 0x00 or 0xFF, else nothing is trimmed at the end (0x00 at the start)")
        ->type_name("0x00|0xFF|auto")
        ->transform(FillByte());
    app.add_option("--align", align,
                   "Remove less of the end run so the copy's size (pad included) is a multiple "
                   "of N (suffix K, M, G: powers of 1024), or with pow2 a power of two")
        ->type_name("N|pow2")
        ->check(AlignmentText());
    app.add_flag("-r,--recursive", o.recursive,
                 "Trim the files in a FILE that is a folder and in its subfolders (links are "
                 "not followed; one to a file is reported skipped), leaving out (KST) copies, "
                 ".kstrec records and .kestrune-*.part files; "
                 "with --out-dir the copies mirror the folder's tree");
    app.add_flag("--skip-existing", o.skipExisting,
                 "Leave a file whose copy already exists alone and report it skipped");
    app.add_flag("--json", o.json,
                 "Print one JSON object per file on stdout, then {\"summary\": ...}");
    app.add_flag("--progress", o.progress, "Show a progress bar when stderr is a terminal");
    // Tests need many chunks from small files; not part of the documented use.
    app.add_option("--chunk-unit", o.chunkUnit, "Bytes per --chunk unit")
        ->group("")
        ->check(CLI::Range(std::int64_t{1}, std::int64_t{1000000}));
    app.set_version_flag("--version", "kestrune-cli " KESTRUNE_VERSION_STRING);
}

// "o/" names the folder "o": copies are "o/name", not "o//name". A root
// keeps its one separator.
std::string WithoutTrailingSeparators(std::string folder) {
    const auto separator = [](char c) { return c == '/' || c == FolderSeparator(); };
    while (folder.size() > 1 && separator(folder.back()) &&
           !(folder.size() == 3 && folder[1] == ':')) {
        folder.pop_back();
    }
    return folder;
}

// "/?" is how Windows programs are asked for help; elsewhere it is a path.
std::vector<const char*> WithHelpSwitch(int argc, const char* const* argv) {
    std::vector<const char*> args(argv, argv + argc);
#ifdef _WIN32
    std::replace_if(
        args.begin() + (args.empty() ? 0 : 1), args.end(),
        [](const char* arg) { return std::string_view(arg) == "/?"; }, "--help");
#endif
    return args;
}

} // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv, std::ostream& out,
                             std::ostream& err) {
    CliOptions options;
    int fill = 0;
    std::string align;
    CLI::App app{"Trims the run of 0x00 (or 0xFF) bytes at the end of each FILE, and on request "
                 "at its start, into a copy named name(KST).ext.",
                 "kestrune-cli"};
    std::string hashText;
    AddOptions(app, options, fill, align);
    AddProofOptions(app, options, hashText);
    RestoreOptions restore;
    const CLI::App* const restoreCommand = AddRestore(app, restore);
    try {
        const std::vector<const char*> args = WithHelpSwitch(argc, argv);
        app.parse(static_cast<int>(args.size()), args.data());
        if (restoreCommand->parsed()) {
            return CommandLine{std::nullopt, kExitOk, std::move(restore)};
        }
        if (options.files.empty()) {
            throw CLI::RequiredError("FILE");
        }
    } catch (const CLI::ParseError& e) {
        return CommandLine{std::nullopt, app.exit(e, out, err) == 0 ? kExitOk : kExitUsage, {}};
    }
    if (options.outDir) {
        options.outDir = WithoutTrailingSeparators(*options.outDir);
    }
    options.fillAuto = fill == kFillAuto;
    options.fill = options.fillAuto ? 0 : static_cast<std::uint8_t>(fill);
    if (!align.empty()) {
        options.align = ParseAlignment(align);
    }
    if (!hashText.empty()) {
        options.hashes = *ParseHashList(hashText);
    }
    return CommandLine{std::move(options), kExitOk, {}};
}

} // namespace kst::cli

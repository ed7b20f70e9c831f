// SPDX-License-Identifier: MIT
#pragma once

#include "clirunner.h"
#include "oserror.h"
#include "testfiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

// Runs the CLI inside a fresh temp folder, so file names stay relative.
class CliTest : public testing::Test {
protected:
    TempDir dir;

    CliRun Run(const std::vector<std::string>& args, CliSetup setup = {}) const {
        setup.cwd = dir.Path();
        return RunCli(args, setup);
    }
#ifdef _WIN32
    CliRun RunAtPrompt(const std::string& command) const {
        CliSetup setup;
        setup.cwd = dir.Path();
        return RunInCmd(command, setup);
    }
#endif
    // name in UTF-8, like the CLI's arguments.
    std::filesystem::path At(const std::string& name) const {
        return dir.Path() / std::u8string(name.begin(), name.end());
    }
    bool Exists(const std::string& name) const {
        return std::filesystem::exists(At(name));
    }
};

// Every line of --json output, the closing summary included.
inline std::vector<nlohmann::json> AllJsonLines(const std::string& out) {
    std::vector<nlohmann::json> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(nlohmann::json::parse(out.substr(start, end - start)));
    }
    EXPECT_EQ(start, out.size()) << "stdout ends without a newline";
    return lines;
}

// The closing {"summary": ...} object's contents, or null when it is missing.
inline nlohmann::json JsonSummary(const std::string& out) {
    const std::vector<nlohmann::json> lines = AllJsonLines(out);
    return lines.empty() || !lines.back().contains("summary") ? nlohmann::json()
                                                              : lines.back()["summary"];
}

// The per-file lines of --json output; the summary must close them.
inline std::vector<nlohmann::json> JsonLines(const std::string& out) {
    std::vector<nlohmann::json> lines = AllJsonLines(out);
    EXPECT_FALSE(JsonSummary(out).is_null()) << "no closing summary in " << out;
    if (!lines.empty() && lines.back().contains("summary")) {
        lines.pop_back();
    }
    return lines;
}

// The separator the CLI joins folders and names with.
#ifdef _WIN32
inline constexpr char kSeparator[] = "\\";
#else
inline constexpr char kSeparator[] = "/";
#endif

// A file that is not there, as the system says it: its code and the code's
// name in the JSON reports.
#ifdef _WIN32
inline constexpr kst::OsErrorCode kNoSuchFile = 2;
inline constexpr char kNoSuchFileName[] = "ERROR_FILE_NOT_FOUND";
#else
inline constexpr kst::OsErrorCode kNoSuchFile = ENOENT;
inline constexpr char kNoSuchFileName[] = "ENOENT";
#endif

// The CLI's failure text: the job's message, then the system's reason.
inline std::string WithReason(const std::string& message, kst::OsErrorCode code) {
    return message + ": " + kst::OsErrorText(code);
}

// path with its "/" as the CLI writes them.
inline std::string Native(std::string path) {
    std::replace(path.begin(), path.end(), '/', kSeparator[0]);
    return path;
}

inline bool HasLine(const CliRun& run, const std::string& line) {
    const std::vector<std::string> lines = run.ErrLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

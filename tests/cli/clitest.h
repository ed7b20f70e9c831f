// SPDX-License-Identifier: MIT
#pragma once

#include "clirunner.h"
#include "testfiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
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
    // name in UTF-8, like the CLI's arguments.
    std::filesystem::path At(const std::string& name) const {
        return dir.Path() / std::u8string(name.begin(), name.end());
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(At(name)); }
};

inline std::vector<nlohmann::json> JsonLines(const std::string& out) {
    std::vector<nlohmann::json> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(nlohmann::json::parse(out.substr(start, end - start)));
    }
    EXPECT_EQ(start, out.size()) << "stdout ends without a newline";
    return lines;
}

inline bool HasLine(const CliRun& run, const std::string& line) {
    const std::vector<std::string> lines = run.ErrLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

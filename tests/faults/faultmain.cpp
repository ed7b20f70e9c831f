// SPDX-License-Identifier: MIT
// The fault matrix's own main: after the run it tallies the rows that ran
// and those skipped, with each skip's reason, so the figures stand in the
// log whether or not anything failed.
#include "faultsupport.h"

#include <gtest/gtest.h>

#include <iostream>
#include <map>

namespace {

struct Counts {
    int passed = 0;
    int failed = 0;
    int skipped = 0;
};

std::string SkipReason(const testing::TestResult& result) {
    for (int i = 0; i < result.total_part_count(); ++i) {
        const testing::TestPartResult& part = result.GetTestPartResult(i);
        if (part.skipped()) {
            return part.message();
        }
    }
    return "";
}

class Tally : public testing::EmptyTestEventListener {
    void OnTestProgramEnd(const testing::UnitTest& unit) override {
        std::map<std::string, Counts> groups;
        Counts all;
        std::vector<std::string> skips;
        for (int s = 0; s < unit.total_test_suite_count(); ++s) {
            const testing::TestSuite& suite = *unit.GetTestSuite(s);
            for (int t = 0; t < suite.total_test_count(); ++t) {
                const testing::TestInfo& info = *suite.GetTestInfo(t);
                if (!info.should_run()) {
                    continue;
                }
                const testing::TestResult& result = *info.result();
                Counts& group = groups[suite.name()];
                if (result.Skipped()) {
                    ++group.skipped;
                    ++all.skipped;
                    skips.push_back(std::string(suite.name()) + "." + info.name() + ": " +
                                    SkipReason(result));
                } else if (result.Failed()) {
                    ++group.failed;
                    ++all.failed;
                } else {
                    ++group.passed;
                    ++all.passed;
                }
            }
        }
        std::cout << "\nfault matrix, rows per group (passed/failed/skipped):\n";
        for (const auto& [name, c] : groups) {
            std::cout << "  " << name << ": " << c.passed << "/" << c.failed << "/" << c.skipped
                      << "\n";
        }
        for (const std::string& skip : skips) {
            std::cout << "  skipped " << skip << "\n";
        }
        for (const std::string& note : Notes()) {
            std::cout << "  " << note << "\n";
        }
        std::cout << "fault matrix: " << all.passed + all.failed << " cases ran, " << all.skipped
                  << " skipped\n";
        std::cout << "faults: " << all.passed << " passed, " << all.failed << " failed, "
                  << all.skipped << " skipped" << std::endl;
    }
};

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new Tally);
    return RUN_ALL_TESTS();
}

// SPDX-License-Identifier: MIT
// The input is only read: the job leaves even its access time as it was,
// where the file system would set it (it lies before the last write). A
// file of someone else's, which may not be read that way, is read all the
// same.
#include "faultsupport.h"
#include "jobfixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using kst::Option;

enum class Reader { Owner, SomeoneElse };

class AccessTime : public JobTest, public testing::WithParamInterface<Reader> {};

timespec AccessTimeOf(const fs::path& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_atim;
}

TEST_P(AccessTime, StaysAsItWas) {
    Drop("dump.img", Framed(5, 20, 5, 31));
    host.Tick(Option::MeasureOnly);
    struct stat st {};
    ASSERT_EQ(::stat(input.c_str(), &st), 0);
    const timespec dayBefore{st.st_mtim.tv_sec - 86400, 0};
    const timespec times[2] = {dayBefore, {0, UTIME_OMIT}};
    ASSERT_EQ(::utimensat(AT_FDCWD, input.c_str(), times, 0), 0);
    const std::string measured = EndingName(kst::JobEnding::MeasureOnly);
    if (GetParam() == Reader::Owner) {
        EXPECT_EQ(RunJob(host, options, Output()).ending, measured);
        const timespec after = AccessTimeOf(input);
        EXPECT_EQ(after.tv_sec, dayBefore.tv_sec);
        EXPECT_EQ(after.tv_nsec, dayBefore.tv_nsec);
        return;
    }
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can read its file as someone else";
    }
    fs::permissions(dir.Path(), fs::perms(0755));
    fs::permissions(input, fs::perms(0644));
    const ChildRun run =
        RunJobInChild([](std::string&) { return BecomeUnprivileged(); }, host, options, Output());
    if (!run.skipped.empty()) {
        GTEST_SKIP() << run.skipped;
    }
    EXPECT_EQ(run.outcome.ending, measured);
}

INSTANTIATE_TEST_SUITE_P(Rows, AccessTime, testing::Values(Reader::Owner, Reader::SomeoneElse),
                         [](const auto& info) {
                             return info.param == Reader::Owner ? "Owner" : "SomeoneElse";
                         });

} // namespace

// SPDX-License-Identifier: MIT
// Inputs the job must not take: a folder, a FIFO, a socket, a device, a file
// it may not read, one held by another Kestrune, one that is missing. Each
// fails at the open with the input's path, before any output is formed on
// disk, and leaves the input as it was.
#include "faultsupport.h"
#include "jobfixture.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using kst::Option;

class BadInput : public JobTest {
protected:
    const Bytes bytes = Framed(5, 20, 5, 31);

    void SetUp() override { host.Tick(Option::TrimLeading); }

    void Use(const fs::path& path) {
        input = path;
        host.texts[kst::Field::InputPath] = Utf8(path);
    }
    Outcome Refused() const { return Outcome{OpenFailed(input), "", std::nullopt, 0}; }
};

TEST_F(BadInput, Folder) {
    Use(dir.Path() / "folder.img");
    fs::create_directory(input);
    EXPECT_EQ(RunJob(host, options, Output()), Refused());
    EXPECT_TRUE(fs::is_empty(input));
}

TEST_F(BadInput, Fifo) {
    Use(dir.Path() / "pipe.img");
    ASSERT_EQ(::mkfifo(input.c_str(), 0644), 0);
    EXPECT_EQ(RunJob(host, options, Output()), Refused());
    EXPECT_TRUE(fs::is_fifo(input));
}

TEST_F(BadInput, Socket) {
    Use(dir.Path() / "sock.img");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = input.string();
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::copy(path.begin(), path.end(), address.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 1), 0);
    EXPECT_EQ(RunJob(host, options, Output()), Refused());
    EXPECT_TRUE(fs::is_socket(input));
    ::close(fd);
}

TEST_F(BadInput, DevZero) {
    Use("/dev/zero");
    EXPECT_EQ(RunJob(host, options, Output()), Refused());
    EXPECT_TRUE(fs::is_character_file(input));
}

TEST_F(BadInput, Missing) {
    Use(dir.Path() / "gone.img");
    EXPECT_EQ(RunJob(host, options, Output()), Refused());
    EXPECT_FALSE(fs::exists(input));
}

TEST_F(BadInput, Unreadable) {
    Drop("secret.img", bytes);
    fs::permissions(dir.Path(), fs::perms(0755));
    fs::permissions(input, fs::perms::none);
    const ChildRun run =
        RunJobInChild([](std::string&) { return BecomeUnprivileged(); }, host, options, Output());
    if (!run.skipped.empty()) {
        GTEST_SKIP() << run.skipped;
    }
    EXPECT_EQ(run.outcome, Refused());
    fs::permissions(input, fs::perms(0600));
    EXPECT_EQ(ReadAll(input), bytes);
}

TEST_F(BadInput, HeldByAnotherKestrune) {
    Drop("busy.img", bytes);
    const HeldElsewhere other(input);
    ASSERT_TRUE(other.Held());
    EXPECT_EQ(RunJob(host, options, Output()), Refused());
    EXPECT_EQ(ReadAll(input), bytes);
}

// The system's reason travels with the failure, so a front end can say why;
// an input held elsewhere is told apart from a missing one.
TEST_F(BadInput, FailureCarriesTheSystemsReason) {
    const auto reason = [this] {
        try {
            Run();
        } catch (const kst::JobError& e) {
            return std::string(kst::ErrorKindName(e.Kind())) + " " + kst::OsErrorName(e.OsError());
        }
        return std::string("no failure");
    };
    Use(dir.Path() / "gone.img");
    EXPECT_EQ(reason(), "open_failed ENOENT");
    fs::create_directory(input);
    EXPECT_EQ(reason(), "open_failed EISDIR");
    Drop("busy.img", bytes);
    const HeldElsewhere other(input);
    ASSERT_TRUE(other.Held());
    EXPECT_EQ(reason(), "input_in_use EWOULDBLOCK");
}

} // namespace

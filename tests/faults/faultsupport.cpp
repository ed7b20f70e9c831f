// SPDX-License-Identifier: MIT
#include "faultsupport.h"

#include "file.h"
#include "joberror.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <ostream>
#include <random>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

bool operator==(const Outcome& a, const Outcome& b) {
    return a.ending == b.ending && a.lastLog == b.lastLog && a.output == b.output &&
           a.copyProgress == b.copyProgress;
}

void PrintTo(const Outcome& outcome, std::ostream* os) {
    *os << "{ending \"" << outcome.ending << "\", last log \"" << outcome.lastLog << "\", output ";
    if (outcome.output) {
        *os << outcome.output->size() << " bytes";
    } else {
        *os << "absent";
    }
    *os << ", copy progress " << outcome.copyProgress << "}";
}

std::string EndingName(kst::JobEnding ending) {
    switch (ending) {
    case kst::JobEnding::NoOutputFolder:
        return "NoOutputFolder";
    case kst::JobEnding::NothingToTrim:
        return "NothingToTrim";
    case kst::JobEnding::MeasureOnly:
        return "MeasureOnly";
    case kst::JobEnding::Finished:
        return "Finished";
    case kst::JobEnding::Aborted:
        return "Aborted";
    }
    return "?";
}

std::optional<Bytes> OutputAt(const fs::path& path) {
    // A folder there holds no output; rows that put one there check it.
    std::error_code error;
    if (!fs::exists(fs::symlink_status(path, error)) || fs::is_directory(path, error)) {
        return std::nullopt;
    }
    return ReadAll(path);
}

namespace {

int CopyProgress(const RecordingHost& host) {
    const auto copyStart = std::find(host.events.begin(), host.events.end(), "buttons:abort");
    return static_cast<int>(std::count_if(copyStart, host.events.end(), [](const std::string& e) {
        return e.rfind("gauge:", 0) == 0;
    }));
}

// Length-prefixed fields: the child's report through a pipe.
void PutField(std::string& wire, const std::string& field) {
    wire += std::to_string(field.size()) + '\n' + field;
}

bool TakeField(std::string_view& wire, std::string& field) {
    const std::size_t end = wire.find('\n');
    if (end == std::string_view::npos) {
        return false;
    }
    const std::size_t size = std::stoul(std::string(wire.substr(0, end)));
    if (wire.size() < end + 1 + size) {
        return false;
    }
    field = wire.substr(end + 1, size);
    wire.remove_prefix(end + 1 + size);
    return true;
}

std::string Encode(const ChildRun& run) {
    std::string wire;
    PutField(wire, run.skipped);
    PutField(wire, run.note);
    PutField(wire, run.outcome.ending);
    PutField(wire, run.outcome.lastLog);
    PutField(wire, run.outcome.output ? "1" : "0");
    const Bytes& bytes = run.outcome.output ? *run.outcome.output : Bytes{};
    PutField(wire, std::string(bytes.begin(), bytes.end()));
    PutField(wire, std::to_string(run.outcome.copyProgress));
    return wire;
}

bool Decode(std::string_view wire, ChildRun& run) {
    std::string present;
    std::string bytes;
    std::string progress;
    if (!TakeField(wire, run.skipped) || !TakeField(wire, run.note) ||
        !TakeField(wire, run.outcome.ending) || !TakeField(wire, run.outcome.lastLog) ||
        !TakeField(wire, present) || !TakeField(wire, bytes) || !TakeField(wire, progress)) {
        return false;
    }
    if (present == "1") {
        run.outcome.output = Bytes(bytes.begin(), bytes.end());
    }
    run.outcome.copyProgress = std::stoi(progress);
    return true;
}

void WriteFully(int fd, const std::string& data) {
    for (std::size_t done = 0; done < data.size();) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

std::string ReadToEnd(int fd) {
    std::string data;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            break;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

bool WaitOk(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool MountTmpfs(const fs::path& folder, std::int64_t size) {
    const std::string options = "size=" + std::to_string(size) + ",mode=0777";
    return ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("kestrune-faults", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                   options.c_str()) == 0;
}

std::int64_t FreeBytes(const fs::path& folder) {
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0) {
        return -1;
    }
    return static_cast<std::int64_t>(info.f_bavail) * static_cast<std::int64_t>(info.f_frsize);
}

} // namespace

Outcome RunJob(RecordingHost& host, const kst::JobOptions& options, const fs::path& output) {
    Outcome outcome;
    try {
        outcome.ending = EndingName(kst::RunTrimJob(host, options).ending);
    } catch (const kst::JobError& e) {
        outcome.ending = e.what();
    }
    outcome.lastLog = host.log.empty() ? "" : host.log.back();
    outcome.output = OutputAt(output);
    outcome.copyProgress = CopyProgress(host);
    return outcome;
}

ChildRun RunJobInChild(const ChildSetup& prepare, RecordingHost& host,
                       const kst::JobOptions& options, const fs::path& output) {
    int report[2];
    if (::pipe(report) != 0) {
        return ChildRun{"no pipe for the child's report", "", {}};
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        return ChildRun{"fork failed", "", {}};
    }
    if (pid == 0) {
        ::close(report[0]);
        ChildRun run;
        run.skipped = prepare(run.note);
        if (run.skipped.empty()) {
            run.outcome = RunJob(host, options, output);
        }
        WriteFully(report[1], Encode(run));
        ::_exit(0);
    }
    ::close(report[1]);
    const std::string wire = ReadToEnd(report[0]);
    ::close(report[0]);
    ChildRun run;
    if (!WaitOk(pid) || !Decode(wire, run)) {
        run = ChildRun{};
        run.outcome.ending = "the child ended without a report";
    }
    return run;
}

std::string BecomeUnprivileged() {
    if (::geteuid() == 0) {
        const gid_t group = kNobody;
        if (::setgroups(1, &group) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            return "cannot switch from root to uid " + std::to_string(kNobody) + ": " +
                   std::strerror(errno);
        }
    }
    // "/" is root's and not writable by others: an identity that may write
    // there ignores permissions, and a pass would prove nothing.
    if (::access("/", W_OK) == 0) {
        return "this identity is not bound by file permissions";
    }
    return "";
}

void HandToUnprivileged(const fs::path& path) {
    if (::geteuid() == 0) {
        if (::chown(path.c_str(), kNobody, kNobody) != 0) {
            throw fs::filesystem_error("chown", path,
                                       std::error_code(errno, std::generic_category()));
        }
    }
}

std::string LimitSpace(const fs::path& folder, std::int64_t room, std::string& note) {
    // tmpfs cannot be given a size of 0 (that means unlimited): one page more
    // is mounted and filled first.
    const std::int64_t page = ::sysconf(_SC_PAGESIZE);
    if (room % page == 0 && MountTmpfs(folder, room + page)) {
        const fs::path filler = folder / ".filler";
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT, 0600);
        const std::string zeros(static_cast<std::size_t>(page), '\0');
        const bool filled = fd >= 0 && ::write(fd, zeros.data(), zeros.size()) == page;
        if (fd >= 0) {
            ::close(fd);
        }
        if (!filled || FreeBytes(folder) != room) {
            return "the tmpfs did not leave exactly " + std::to_string(room) + " bytes free";
        }
        note = "disk full: a tmpfs of the row's size in a private mount namespace (ENOSPC)";
        return "";
    }
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{static_cast<rlim_t>(room), static_cast<rlim_t>(room)};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        return "neither a tmpfs nor a file-size limit could be set";
    }
    note = "disk full: no mount allowed here, a file-size limit at the row's size (EFBIG)";
    return "";
}

bool InOtherProcess(const std::function<void()>& action) {
    const pid_t pid = ::fork();
    if (pid < 0) {
        return false;
    }
    if (pid == 0) {
        try {
            action();
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    return WaitOk(pid);
}

HeldElsewhere::HeldElsewhere(const fs::path& path) {
    int ready[2];
    int release[2];
    if (::pipe(ready) != 0) {
        return;
    }
    if (::pipe(release) != 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(ready[0]);
        ::close(release[1]);
        kst::InputFile holder;
        const char held = holder.Open(path) ? '1' : '0';
        (void)!::write(ready[1], &held, 1);
        char ignored;
        (void)!::read(release[0], &ignored, 1); // returns at EOF
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    char held = '0';
    held_ = pid_ > 0 && ::read(ready[0], &held, 1) == 1 && held == '1';
    ::close(ready[0]);
}

HeldElsewhere::~HeldElsewhere() {
    if (release_ >= 0) {
        ::close(release_);
    }
    if (pid_ > 0) {
        WaitOk(pid_);
    }
}

Bytes Framed(std::size_t lead, std::size_t kept, std::size_t trail, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes bytes(lead, 0);
    for (std::size_t i = 0; i < kept; ++i) {
        const bool edge = i == 0 || i + 1 == kept;
        const int value = byte(random);
        bytes.push_back(static_cast<std::uint8_t>(edge && value == 0 ? 1 : value));
    }
    bytes.resize(bytes.size() + trail, 0);
    return bytes;
}

Bytes Padded(std::size_t pad, const Bytes& source, std::size_t from, std::size_t to) {
    Bytes bytes(pad + to - from, 0);
    std::copy(source.begin() + static_cast<std::ptrdiff_t>(from),
              source.begin() + static_cast<std::ptrdiff_t>(to),
              bytes.begin() + static_cast<std::ptrdiff_t>(pad));
    return bytes;
}

namespace {
std::vector<std::string>& NoteList() {
    static std::vector<std::string> notes;
    return notes;
}
} // namespace

void AddNote(const std::string& note) {
    auto& notes = NoteList();
    if (!note.empty() && std::find(notes.begin(), notes.end(), note) == notes.end()) {
        notes.push_back(note);
    }
}

const std::vector<std::string>& Notes() {
    return NoteList();
}

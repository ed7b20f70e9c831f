// SPDX-License-Identifier: MIT
#pragma once

#include "recordinghost.h"
#include "testfiles.h"
#include "trimjob.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// How one job ended, as every row of the matrix compares it.
struct Outcome {
    std::string ending;          // a JobEnding's name, or the failure's message
    std::string lastLog;         // the log's last line, "" when the log is empty
    std::optional<Bytes> output; // what the output path holds; nullopt when nothing
    int copyProgress = 0;        // gauge updates of the copy: full chunks written
};

bool operator==(const Outcome& a, const Outcome& b);
void PrintTo(const Outcome& outcome, std::ostream* os);

std::string EndingName(kst::JobEnding ending);
// The bytes of the file at path; nullopt when there is none (or a folder).
std::optional<Bytes> OutputAt(const std::filesystem::path& path);

// Runs the job in this process.
Outcome RunJob(RecordingHost& host, const kst::JobOptions& options,
               const std::filesystem::path& output);

// Runs the job in a forked child, after prepare() has set the child up.
// prepare returns "" or the reason the row cannot run here; it may leave a
// note on how it set the child up.
struct ChildRun {
    std::string skipped;
    std::string note;
    Outcome outcome;
};
using ChildSetup = std::function<std::string(std::string& note)>;
ChildRun RunJobInChild(const ChildSetup& prepare, RecordingHost& host,
                       const kst::JobOptions& options, const std::filesystem::path& output);

// The identity a root child switches to, so that file permissions apply.
inline constexpr unsigned kNobody = 65534;
// In a child: drops root for kNobody; "" or why permissions cannot be made
// to apply.
std::string BecomeUnprivileged();
// Gives path to kNobody when running as root; otherwise the owner stays.
void HandToUnprivileged(const std::filesystem::path& path);

// In a child: leaves exactly room bytes of space for files in folder: a
// tmpfs of that size in a private mount namespace, or, where mounting is
// not allowed, a file-size limit. Either way writes fall short at the same
// byte. note says which.
std::string LimitSpace(const std::filesystem::path& folder, std::int64_t room, std::string& note);

// Runs action in another process and waits for it; false when it failed.
bool InOtherProcess(const std::function<void()>& action);

// Another Kestrune holding path open as its input, until destroyed.
class HeldElsewhere {
public:
    explicit HeldElsewhere(const std::filesystem::path& path);
    ~HeldElsewhere();
    HeldElsewhere(const HeldElsewhere&) = delete;
    HeldElsewhere& operator=(const HeldElsewhere&) = delete;

    bool Held() const { return held_; }

private:
    int pid_ = -1;
    int release_ = -1; // closing it lets the holder go
    bool held_ = false;
};

// lead zero bytes, kept bytes of a seeded pattern (non-zero at both ends,
// zeros inside too), trail zero bytes.
Bytes Framed(std::size_t lead, std::size_t kept, std::size_t trail, unsigned seed);

// pad zero bytes followed by source[from, to): what a trimmed copy holds.
Bytes Padded(std::size_t pad, const Bytes& source, std::size_t from, std::size_t to);

// Notes for the closing tally, e.g. how a fault was brought about.
void AddNote(const std::string& note);
const std::vector<std::string>& Notes();

// SPDX-License-Identifier: MIT
#pragma once

#include "oserror.h"

#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kst {

// What went wrong, for front ends and scripts that act on it; the message
// says the same to a person.
enum class ErrorKind {
    OpenFailed,       // the input cannot be opened (missing, not a file, no permission)
    InputInUse,       // another process holds the input
    ReadFailed,       // a read of the input failed
    InputChanged,     // another process changed the input during the job
    CreateFailed,     // the output cannot be created
    SameFile,         // the output path leads back to the input
    WriteFailed,      // the output could not be stored in full
    NotInteger,       // a typed number is no integer
    BadChunkSize,     // chunk size outside 0..2147
    BadPad,           // negative pad length
    DivideByZero,     // chunk size 0 over a non-empty input
    InvalidOperation, // chunk size 0 over an empty input
    OutOfMemory,      // the chunk buffer cannot be had
};

// A failure that ends the job; what() is the UTF-8 Japanese message shown
// in the failure box. OsError() is the system's code behind it, 0 when the
// system gave none, for front ends that say why.
class JobError : public std::runtime_error {
public:
    JobError(ErrorKind kind, const std::string& message, OsErrorCode osError = 0)
        : std::runtime_error(message), kind_(kind), osError_(osError) {}
    ErrorKind Kind() const { return kind_; }
    OsErrorCode OsError() const { return osError_; }

private:
    ErrorKind kind_;
    OsErrorCode osError_;
};

// A stable lower-case name of the kind, for machine-readable reports.
const char* ErrorKindName(ErrorKind kind);

// Replaces the first "%s" of pattern with arg.
std::string FormatMessage(std::string_view pattern, std::string_view arg);

// The message a failure box shows for a failure that ended a handler:
// running out of memory anywhere reads as the job's own out-of-memory text.
std::string FailureMessage(const std::exception& failure);

// The failure box's text: a "." is appended when the message's last
// character sorts after "." (so a Japanese ending gets one, and an ending
// in ".", a blank or an ASCII quote does not). message is UTF-8.
std::string FailureBoxText(std::string_view message);

} // namespace kst

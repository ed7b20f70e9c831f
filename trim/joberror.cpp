// SPDX-License-Identifier: MIT
#include "joberror.h"

#include "messages.h"

#include <new>

namespace kst {

const char* ErrorKindName(ErrorKind kind) {
    switch (kind) {
    case ErrorKind::OpenFailed:
        return "open_failed";
    case ErrorKind::InputInUse:
        return "input_in_use";
    case ErrorKind::ReadFailed:
        return "read_failed";
    case ErrorKind::InputChanged:
        return "input_changed";
    case ErrorKind::CreateFailed:
        return "create_failed";
    case ErrorKind::SameFile:
        return "same_file";
    case ErrorKind::WriteFailed:
        return "write_failed";
    case ErrorKind::NotInteger:
        return "not_integer";
    case ErrorKind::BadChunkSize:
        return "bad_chunk_size";
    case ErrorKind::BadPad:
        return "bad_pad";
    case ErrorKind::DivideByZero:
        return "divide_by_zero";
    case ErrorKind::InvalidOperation:
        return "invalid_operation";
    case ErrorKind::OutOfMemory:
        return "out_of_memory";
    }
    return "unknown";
}

std::string FormatMessage(std::string_view pattern, std::string_view arg) {
    std::string text(pattern);
    if (const auto at = text.find("%s"); at != std::string::npos) {
        text.replace(at, 2, arg);
    }
    return text;
}

std::string FailureMessage(const std::exception& failure) {
    if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr) {
        return msg::kOutOfMemory;
    }
    return failure.what();
}

std::string FailureBoxText(std::string_view message) {
    std::string text(message);
    if (text.empty()) {
        return text;
    }
    // The last character's first byte: a UTF-8 sequence's lead byte sorts
    // above every ASCII byte, as a Shift-JIS lead byte does.
    std::size_t last = text.size() - 1;
    while (last > 0 && (static_cast<unsigned char>(text[last]) & 0xC0) == 0x80) {
        --last;
    }
    if (static_cast<unsigned char>(text[last]) > '.') {
        text += '.';
    }
    return text;
}

} // namespace kst

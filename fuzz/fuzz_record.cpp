// SPDX-License-Identifier: MIT
// The record reader on any text: it accepts or throws RecordError, nothing
// else; what it accepts names plain files, adds up, and reads back the same
// after being written out again; a message never carries a control
// character to the terminal.
#include "nametext.h"
#include "trimrecord.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
}

bool SameSide(const kst::RecordSide& a, const kst::RecordSide& b) {
    return a.name == b.name && a.size == b.size && a.hashes == b.hashes;
}

bool PlainName(const std::string& name) {
    return !name.empty() && name.find_first_of("/\\:") == std::string::npos && name != "." &&
           name != "..";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    kst::TrimRecord record;
    try {
        record = kst::ParseRecord(text);
    } catch (const kst::RecordError& e) {
        const std::string message = e.what();
        Require(kst::EscapeControls(message) == message, "a message carries a control character");
        return 0;
    }
    Require(PlainName(record.input.name) && PlainName(record.output.name),
            "a name is no plain name");
    Require(record.front + record.tail <= record.input.size &&
                record.output.size - record.pad == record.input.size - record.front - record.tail,
            "the sizes do not add up");
    const kst::TrimRecord again = kst::ParseRecord(kst::RecordText(record));
    Require(SameSide(again.input, record.input) && SameSide(again.output, record.output) &&
                again.fill == record.fill && again.front == record.front &&
                again.tail == record.tail && again.pad == record.pad,
            "a record written out reads back otherwise");
    return 0;
}

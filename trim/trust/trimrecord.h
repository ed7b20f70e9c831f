// SPDX-License-Identifier: MIT
#pragma once

#include "hashkinds.h"
#include "trimjob.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace kst {

// A name that is not UTF-8 is also given as its bytes in hex ("name_hex"),
// an optional field: records without it read as they always did.
inline constexpr int kRecordFormat = 1;
inline constexpr const char* kRecordSuffix = ".kstrec";
// Larger files are not taken for records.
inline constexpr std::int64_t kMaxRecordBytes = std::int64_t{1} << 20;

// One side of a trim: a file name (no folder, its bytes as the system has
// them, UTF-8 where they are), its size and digests.
struct RecordSide {
    std::string name;
    std::int64_t size = 0;
    HexDigests hashes;
};

// What a trim removed and added, enough to rebuild the input from the output
// and prove it: input = front run of fill, output bytes after the pad, tail
// run of fill.
struct TrimRecord {
    std::string tool;
    RecordSide input;
    std::uint8_t fill = 0;
    std::int64_t front = 0;
    std::int64_t tail = 0;
    std::int64_t pad = 0;
    RecordSide output;
};

// A record that cannot be used as it stands; what() says why.
struct RecordError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// {"sha256": "...", ...}, as records and reports show digests.
nlohmann::ordered_json DigestsJson(const HexDigests& digests);

std::string RecordText(const TrimRecord& record);
// Checks format, every field's presence and type, names without folders,
// known digests of the right length and sizes that add up.
TrimRecord ParseRecord(const std::string& text);

// A path as UTF-8 text, for messages and records.
std::string Utf8Of(const std::filesystem::path& path);

// output's record: its name with kRecordSuffix appended.
std::filesystem::path RecordPathFor(const std::filesystem::path& output);

// The record of a Finished job whose sinks saw its input and output. pad is
// the zero bytes the copy starts with.
TrimRecord RecordOf(const JobResult& result, const std::filesystem::path& input, std::int64_t pad,
                    const HexDigests& inputHashes, const HexDigests& outputHashes,
                    const std::string& tool);

// The text of the record at path: only a regular file (a FIFO or device
// fails at once) of at most kMaxRecordBytes. Throws RecordError.
std::string ReadRecordFile(const std::filesystem::path& path);

// Written through the output file beside the trimmed file it describes,
// whose permissions it takes. Throws RecordError when it cannot be stored.
void WriteRecord(const std::filesystem::path& path, const TrimRecord& record);

} // namespace kst

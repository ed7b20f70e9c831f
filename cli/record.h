// SPDX-License-Identifier: MIT
#pragma once

#include "hashing.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace kst::cli {

inline constexpr int kRecordFormat = 1;
inline constexpr const char* kRecordSuffix = ".kstrec";

// One side of a trim: a file name (no folder), its size and digests.
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

// Written under a temporary name beside it, flushed and renamed into place.
// Throws RecordError when it cannot be stored.
void WriteRecord(const std::filesystem::path& path, const TrimRecord& record);

} // namespace kst::cli

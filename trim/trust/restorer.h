// SPDX-License-Identifier: MIT
#pragma once

#include "hashkinds.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>

namespace kst {

struct RestoreRequest {
    std::filesystem::path record;
    std::optional<std::filesystem::path> outDir; // else beside the record
    bool force = false;                          // replace what stands at the name
    // Polled between pieces of every long step; yes drops what was written.
    std::function<bool()> stopRequested = {};
};

struct Restored {
    std::filesystem::path target;
    HexDigests verified; // the input's digests, as rebuilt
};

// Why a restore left nothing at the original's name; what() says it to a
// person, names escaped for a terminal.
class RestoreError : public std::runtime_error {
public:
    RestoreError(const std::string& message, bool stopped = false)
        : std::runtime_error(message), stopped_(stopped) {}
    bool Stopped() const { return stopped_; }

private:
    bool stopped_;
};

// Rebuilds a record's input from its trimmed file, cheapest checks first,
// trusting nothing it reads: the record only from a regular file; the
// trimmed file only as a regular file reached without a link, with the
// record's size and output digests, before any byte is written; the declared
// size only when the file system can hold it. The original is written
// through the output file and put under its name only once the rebuilt bytes
// match the record's input digests; it takes the trimmed file's
// permissions. A link, FIFO or device at its name is replaced (with force),
// never written through. Throws RestoreError.
Restored RestoreOriginal(const RestoreRequest& request);

} // namespace kst

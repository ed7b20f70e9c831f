// SPDX-License-Identifier: MIT
#pragma once

#include "file.h"
#include "joberror.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kst {

// The outputs of a run of jobs, committed as a group: each written in full
// under its temporary name, then all flushed together, renamed, and each
// folder synced once; only then are they done. A crash before that leaves
// their temporaries, never a partial file under a final name. A group holds
// a bounded number of files and bytes, so open handles stay few and a crash
// loses little. The folders the run writes into are listed once for stale
// temporaries (see FolderTemps). The watches its inputs left go with each
// commit (InputFile::Watch::WritesInBatch).
class OutputBatch {
public:
    struct Limits {
        int files = 4096;
        std::int64_t bytes = std::int64_t{64} << 20;
    };
    explicit OutputBatch(Limits limits);
    // The default limits, fewer files where the process may not hold two
    // open handles for each (the file and its folder).
    OutputBatch();
    // Outputs held and never committed are removed.
    ~OutputBatch();
    OutputBatch(const OutputBatch&) = delete;
    OutputBatch& operator=(const OutputBatch&) = delete;

    // True when an output of size bytes fits in the group beside those held.
    bool Takes(std::int64_t size) const;
    // The written output waits, still under its temporary name, for Commit.
    // outputText names it in a failure's message.
    void Hold(std::unique_ptr<OutputFile> output, std::int64_t size, std::string outputText);
    bool Empty() const { return held_.empty(); }
    // True when no further output fits.
    bool Full() const;
    // Flushes, renames and syncs the group. What became of each output, in
    // the order they were held: no value once it is durable under its name,
    // the failure otherwise (its temporary then removed).
    std::vector<std::optional<JobError>> Commit();

    FolderTemps& Temps() { return temps_; }

private:
    struct Held {
        std::unique_ptr<OutputFile> output;
        std::string outputText;
        std::filesystem::path folder;
    };
    Limits limits_;
    FolderTemps temps_; // before held_: its folders outlive the outputs in them
    std::vector<Held> held_;
    std::int64_t bytes_ = 0;
};

} // namespace kst

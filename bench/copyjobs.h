// SPDX-License-Identifier: MIT
#pragma once

#include "measure.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// A trimmed copy by kestrune-cli and its anchor, cp of the whole file
// followed by sync of the copy: the same durability, as our output is
// flushed before it is named.
namespace bench {

struct CopyFiles {
    std::filesystem::path input;
    std::filesystem::path ours;     // the output's name beside the input
    std::filesystem::path baseline; // cp's copy
};

// The files of a copy of input, cp's copy named baseline in its folder.
CopyFiles CopyFilesOf(const std::filesystem::path& input, const char* baseline);

// Removes both copies, then drops the page cache when cold.
std::function<void()> Before(const CopyFiles& files, bool cold);

// cp --reflink=auto (coreutils' default: clones where the file system can,
// keeps holes) and sync of the copy.
TimedRun CpAndSync(const CopyFiles& files, bool cold);

std::vector<std::string> CliCopyArgs(const CopyFiles& files, std::int32_t chunkUnits);
// The copy must come out kept bytes long.
TimedRun CliCopy(const CopyFiles& files, bool cold, std::int32_t chunkUnits, std::int64_t kept);

} // namespace bench

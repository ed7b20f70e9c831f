// SPDX-License-Identifier: MIT
#pragma once

#include "engineonly.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kst {

// A copy is written under a temporary name in its destination folder and
// renamed onto its final name only once complete. The temporary name is
// hidden, says whose it is, names the final file it stands for (by a hash,
// so any final name fits), the process that made it and a random token:
//   .kestrune-<hash of final name>-<process id>-<token>.part
// A job that finds such files of its final name left by a job that died
// removes them.

// The part every temporary name of finalName starts with.
std::filesystem::path TempNamePrefix(const std::filesystem::path& finalName);

std::filesystem::path TempName(const std::filesystem::path& finalName, std::uint64_t processId,
                               std::uint64_t token);

// The process id in a temporary name of finalName, or -1 when name is none.
std::int64_t TempNameProcess(const std::filesystem::path& finalName,
                             const std::filesystem::path& name);

// True when name has the form of a temporary name, whatever its final name.
bool IsTempName(const std::filesystem::path& name);
// The same for a name as the system lists it, taken as it is: a folder of
// many entries is looked through without making a path of each.
bool IsTempName(std::string_view name);

// A fresh token for each temporary file of this process.
std::uint64_t NextTempToken();

// Tests: the tokens that follow come from seed, as NextTempToken draws them
// (TempTokenAfter(seed, 0) is the first).
void SeedTempTokens(std::uint64_t seed);
std::uint64_t TempTokenAfter(std::uint64_t seed, int draws);

// Tests: called by every commit once the data is flushed, just before the
// rename. A probe that returns false makes the flush count as failed, as a
// disk that ran out of room for delayed writes would.
using CommitProbe = bool (*)();
void SetCommitProbe(CommitProbe probe);
bool CommitProbePasses();

} // namespace kst

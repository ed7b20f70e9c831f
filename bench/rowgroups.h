// SPDX-License-Identifier: MIT
#pragma once

#include "report.h"

#include <filesystem>

// Each group of rows makes its files in the work folder, measures and
// removes them again; main runs the groups in its table's order. A new group
// is a function here, its own source file, and one line in that table.
namespace bench {

// In process, for tuning: the scans, the zero test and the copy writer
// against plain loops.
void ScanRows(Report& report, const std::filesystem::path& folder);
void ZeroTestRows(Report& report, const std::filesystem::path& folder);
void CopyWriterRows(Report& report, const std::filesystem::path& folder);
void SparseRows(Report& report, const std::filesystem::path& folder);
void MemoryRows(Report& report, const std::filesystem::path& folder);

// Whole processes against dd: the measurement of dense zeros at each chunk
// size, warm and cold, its memory, the progress line and the window.
void MeasureRows(Report& report, const std::filesystem::path& folder);
// Whole processes against dd on a sparse file.
void HoleRows(Report& report, const std::filesystem::path& folder);
// Whole processes against cp and sync: a trimmed copy, warm and cold.
void TrimCopyRows(Report& report, const std::filesystem::path& folder);
// Whole processes against cp and sync: clones on loop-mounted btrfs and XFS
// (root only) and a copy across a 64 GiB hole.
void CloneRows(Report& report, const std::filesystem::path& folder);
// A batch of 10,000 small files against cp and sync, and one of 1,000 in a
// crowded folder against the same alone.
void BatchRows(Report& report, const std::filesystem::path& folder);
// A trim with --hash sha256 against sha256sum of its input and output.
void HashRows(Report& report, const std::filesystem::path& folder);

} // namespace bench

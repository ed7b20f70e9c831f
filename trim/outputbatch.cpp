// SPDX-License-Identifier: MIT
#include "outputbatch.h"

#include "messages.h"
#include "outputpath.h"

#include <algorithm>
#include <set>

namespace kst {

namespace {

// Handles kept for the inputs, the folders walked and the system's own.
constexpr std::int64_t kSpareHandles = 256;

OutputBatch::Limits DefaultLimits() {
    OutputBatch::Limits limits;
    const std::int64_t handles = RaiseOpenFileLimit(2 * limits.files + kSpareHandles);
    limits.files =
        static_cast<int>(std::clamp<std::int64_t>((handles - kSpareHandles) / 2, 1, limits.files));
    return limits;
}

} // namespace

OutputBatch::OutputBatch(Limits limits) : limits_(limits) {}

OutputBatch::OutputBatch() : OutputBatch(DefaultLimits()) {}

OutputBatch::~OutputBatch() {
    InputFile::ReleaseBatchWatches();
}

bool OutputBatch::Takes(std::int64_t size) const {
    return static_cast<int>(held_.size()) < limits_.files && size <= limits_.bytes - bytes_;
}

void OutputBatch::Hold(std::unique_ptr<OutputFile> output, std::int64_t size,
                       std::string outputText) {
    const std::filesystem::path folder = PathFromUtf8(outputText).parent_path().lexically_normal();
    held_.push_back(Held{std::move(output), std::move(outputText), folder});
    bytes_ += size;
}

bool OutputBatch::Full() const {
    return static_cast<int>(held_.size()) >= limits_.files || bytes_ >= limits_.bytes;
}

std::vector<std::optional<JobError>> OutputBatch::Commit() {
    std::vector<OutputFile*> outputs;
    for (const Held& held : held_) {
        outputs.push_back(held.output.get());
    }
    const std::vector<bool> flushed = OutputFile::FlushTogether(outputs);
    std::vector<std::optional<JobError>> outcomes;
    for (std::size_t i = 0; i < held_.size(); ++i) {
        OutputFile& output = *held_[i].output;
        if (flushed[i] && output.PutInPlace()) {
            outcomes.emplace_back();
        } else {
            outcomes.emplace_back(JobError(ErrorKind::WriteFailed,
                                           FormatMessage(msg::kWriteFailed, held_[i].outputText),
                                           output.LastError()));
        }
    }
    // Every rename of a folder is made durable by one sync of it.
    std::set<std::filesystem::path> synced;
    for (std::size_t i = 0; i < held_.size(); ++i) {
        if (!outcomes[i] && synced.insert(held_[i].folder).second) {
            held_[i].output->SyncFolder();
        }
    }
    held_.clear(); // closes them all, removing the temporaries that failed
    bytes_ = 0;
    temps_.CloseFolders(); // a run over many folders holds only the group's
    InputFile::ReleaseBatchWatches();
    return outcomes;
}

} // namespace kst

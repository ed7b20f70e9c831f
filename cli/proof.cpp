// SPDX-License-Identifier: MIT
#include "proof.h"

#include "batch.h"
#include "clihost.h"
#include "file.h"
#include "joberror.h"
#include "kestrune_version.h"
#include "messages.h"
#include "outputpath.h"
#include "record.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace kst::cli {
namespace {

constexpr std::int64_t kPieceBytes = std::int64_t{1} << 20;

// What --hash names, or sha256 for a record on its own.
std::vector<HashKind> AskedKinds(const CliOptions& o) {
    if (!o.hashes.empty() || !o.record) {
        return o.hashes;
    }
    return {HashKind::Sha256};
}

// The front and tail runs as counts of bytes; a file with no other byte is
// one run.
std::pair<std::int64_t, std::int64_t> Runs(const JobResult& r) {
    const std::int64_t front = std::max<std::int64_t>(r.frontRun, 0);
    const std::int64_t tail = r.tailRun < 0 ? r.inputSize - front : r.tailRun;
    return {front, tail};
}

[[noreturn]] void ThrowChanged(const std::string& inputText) {
    throw JobError(ErrorKind::InputChanged, FormatMessage(msg::kInputChanged, inputText));
}

void PrintDigests(CliHost& host, const HexDigests& digests, const char* side) {
    for (const auto& [name, hex] : digests) {
        host.WriteLine(name + side + hex);
    }
}

std::string FileNameOf(const std::filesystem::path& path) {
    return Utf8Of(path.filename());
}

} // namespace

TrimProof::TrimProof(const CliOptions& options) : options_(options) {
    const std::vector<HashKind> kinds = AskedKinds(options);
    if (kinds.empty()) {
        return;
    }
    input_ = std::make_unique<Digests>(kinds);
    output_ = std::make_unique<Digests>(kinds);
    pad_ = PadBytes(options);
}

void TrimProof::Attach(JobOptions& job) {
    fill_ = job.fill;
    job.inputSink = input_.get();
    job.outputSink = output_.get();
}

void TrimProof::ReadKeptBytes(const std::string& inputText, const JobResult& result,
                              bool withOutput, CliHost& host) {
    const auto [front, tail] = Runs(result);
    InputFile in;
    if (!in.Open(PathFromUtf8(inputText))) {
        throw JobError(ErrorKind::OpenFailed, FormatMessage(msg::kOpenFailed, inputText));
    }
    if (in.Size() != result.inputSize) {
        ThrowChanged(inputText);
    }
    Digests* const output = withOutput ? output_.get() : nullptr;
    input_->Run(fill_, front);
    if (output != nullptr) {
        output->Run(0, pad_);
    }
    std::vector<std::uint8_t> piece(static_cast<std::size_t>(kPieceBytes));
    const std::int64_t end = result.inputSize - tail;
    for (std::int64_t pos = front; pos < end;) {
        const std::int64_t n = std::min(kPieceBytes, end - pos);
        if (in.ReadAt(pos, piece.data(), n) != n) {
            if (!in.Unchanged()) {
                ThrowChanged(inputText);
            }
            throw JobError(ErrorKind::ReadFailed, FormatMessage(msg::kReadFailed, inputText));
        }
        input_->Bytes(piece.data(), n);
        if (output != nullptr) {
            output->Bytes(piece.data(), n);
        }
        pos += n;
        host.Yield();
    }
    input_->Run(fill_, tail);
    if (!in.Unchanged()) {
        ThrowChanged(inputText);
    }
}

void TrimProof::Complete(const std::string& inputText, const JobResult& result, FileReport& report,
                         CliHost& host) {
    if (!input_) {
        return;
    }
    switch (result.ending) {
    case JobEnding::Finished:
        break;
    case JobEnding::MeasureOnly:
        ReadKeptBytes(inputText, result, true, host);
        break;
    case JobEnding::NothingToTrim:
        ReadKeptBytes(inputText, result, false, host);
        break;
    case JobEnding::NoOutputFolder:
    case JobEnding::Aborted:
        return; // the digests are incomplete
    }
    report.inputHashes = input_->Hex();
    PrintDigests(host, report.inputHashes, " input  ");
    if (result.ending != JobEnding::NothingToTrim) {
        report.outputHashes = output_->Hex();
        PrintDigests(host, report.outputHashes, " output ");
    }
    if (options_.record && result.ending == JobEnding::Finished) {
        Record(inputText, result, report);
    }
}

void TrimProof::Record(const std::string& inputText, const JobResult& result,
                       FileReport& report) const {
    const auto [front, tail] = Runs(result);
    TrimRecord record;
    record.tool = "kestrune-cli " KESTRUNE_VERSION_STRING;
    record.input = {FileNameOf(PathFromUtf8(inputText)), result.inputSize, report.inputHashes};
    record.fill = fill_;
    record.front = front;
    record.tail = tail;
    record.pad = pad_;
    record.output = {FileNameOf(result.output), pad_ + result.outputSize, report.outputHashes};
    if (input_->Count() != record.input.size || output_->Count() != record.output.size) {
        throw std::logic_error("the digests saw another byte count than the trim");
    }
    const std::filesystem::path path = RecordPathFor(result.output);
    try {
        WriteRecord(path, record);
    } catch (const RecordError& e) {
        throw JobError(ErrorKind::WriteFailed, e.what());
    }
    report.record = Utf8Of(path);
}

} // namespace kst::cli

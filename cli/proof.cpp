// SPDX-License-Identifier: MIT
#include "proof.h"

#include "batch.h"
#include "clihost.h"
#include "joberror.h"
#include "kestrune_version.h"
#include "outputpath.h"
#include "trimrecord.h"

#include <stdexcept>
#include <vector>

namespace kst::cli {
namespace {

// What --hash names, or sha256 for a record on its own.
std::vector<HashKind> AskedKinds(const CliOptions& o) {
    if (!o.hashes.empty() || !o.record) {
        return o.hashes;
    }
    return {HashKind::Sha256};
}

void PrintDigests(CliHost& host, const HexDigests& digests, const char* side) {
    for (const auto& [name, hex] : digests) {
        host.WriteLine(name + side + hex);
    }
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
    job.inputSink = input_.get();
    job.outputSink = output_.get();
}

void TrimProof::Complete(const std::string& inputText, const JobResult& result, FileReport& report,
                         CliHost& host) {
    if (!input_) {
        return;
    }
    switch (result.ending) {
    case JobEnding::Finished:
    case JobEnding::MeasureOnly:
    case JobEnding::NothingToTrim:
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
    const TrimRecord record =
        RecordOf(result, PathFromUtf8(inputText), pad_, report.inputHashes, report.outputHashes,
                 "kestrune-cli " KESTRUNE_VERSION_STRING);
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

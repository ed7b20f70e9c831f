// SPDX-License-Identifier: MIT
#include "restore.h"

#include "file.h"
#include "hashing.h"
#include "outputpath.h"
#include "record.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <fstream>
#include <ostream>
#include <vector>

namespace kst::cli {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

constexpr std::int64_t kPieceBytes = std::int64_t{1} << 20;
constexpr std::int64_t kMaxRecordBytes = std::int64_t{1} << 20;

struct Restored {
    fs::path target;
    HexDigests verified; // the input's digests, as rebuilt
};

std::string ReadRecordText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text(static_cast<std::size_t>(kMaxRecordBytes) + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (!in && !in.eof()) {
        throw RecordError("cannot read the record " + Utf8Of(path));
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (static_cast<std::int64_t>(text.size()) > kMaxRecordBytes) {
        throw RecordError("record: too large to be one");
    }
    return text;
}

std::vector<HashKind> KindsOf(const HexDigests& digests) {
    std::vector<HashKind> kinds;
    for (const auto& entry : digests) {
        kinds.push_back(*HashNamed(entry.first));
    }
    return kinds;
}

bool SameDigests(HexDigests a, HexDigests b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

void WriteOrThrow(OutputFile& out, const std::uint8_t* data, std::int64_t length,
                  const fs::path& target) {
    if (out.Write(data, length) != length) {
        throw RecordError("cannot write " + Utf8Of(target));
    }
}

// Zeros become a hole where the file system keeps them; 0xFF is written.
void AppendRun(OutputFile& out, std::uint8_t fill, std::int64_t count, const fs::path& target) {
    if (fill == 0) {
        if (!out.AppendZeros(count)) {
            throw RecordError("cannot write " + Utf8Of(target));
        }
        return;
    }
    std::array<std::uint8_t, 64 * 1024> block{};
    block.fill(fill);
    for (std::int64_t left = count; left > 0;) {
        const std::int64_t n = std::min<std::int64_t>(left, block.size());
        WriteOrThrow(out, block.data(), n, target);
        left -= n;
    }
}

// Streams the trimmed file once: all of it into outputDigests, what follows
// the pad into the rebuilt file and inputDigests, between the two runs.
void Rebuild(const TrimRecord& r, const InputFile& trimmed, OutputFile& out, Digests& inputDigests,
             Digests& outputDigests, const fs::path& target) {
    AppendRun(out, r.fill, r.front, target);
    inputDigests.Run(r.fill, r.front);
    std::vector<std::uint8_t> piece(static_cast<std::size_t>(kPieceBytes));
    for (std::int64_t pos = 0; pos < r.output.size;) {
        const std::int64_t n = std::min(kPieceBytes, r.output.size - pos);
        if (trimmed.ReadAt(pos, piece.data(), n) != n) {
            throw RecordError("cannot read the trimmed file " + r.output.name);
        }
        outputDigests.Bytes(piece.data(), n);
        const std::int64_t skip = std::clamp<std::int64_t>(r.pad - pos, 0, n);
        WriteOrThrow(out, piece.data() + skip, n - skip, target);
        inputDigests.Bytes(piece.data() + skip, n - skip);
        pos += n;
    }
    AppendRun(out, r.fill, r.tail, target);
    inputDigests.Run(r.fill, r.tail);
}

void CreateTarget(OutputFile& out, const fs::path& target, const InputFile& trimmed, bool force) {
    std::error_code ec;
    if (!force && fs::exists(fs::symlink_status(target, ec))) {
        throw RecordError(Utf8Of(target) + " exists; --force replaces it");
    }
    switch (out.Create(target, trimmed)) {
    case CreateResult::Created:
        return;
    case CreateResult::SameFile:
        throw RecordError(Utf8Of(target) + " is the trimmed file itself");
    case CreateResult::Failed:
        break;
    }
    throw RecordError("cannot create " + Utf8Of(target));
}

Restored RestoreOne(const fs::path& recordPath, const RestoreOptions& o) {
    const TrimRecord r = ParseRecord(ReadRecordText(recordPath));
    const fs::path folder = recordPath.parent_path();
    const fs::path trimmedPath = folder / PathFromUtf8(r.output.name);
    const fs::path target =
        (o.outDir ? PathFromUtf8(*o.outDir) : folder) / PathFromUtf8(r.input.name);

    InputFile trimmed;
    if (!trimmed.Open(trimmedPath)) {
        throw RecordError("cannot open the trimmed file " + Utf8Of(trimmedPath));
    }
    if (const std::int64_t size = trimmed.Size(); size != r.output.size) {
        throw RecordError("the trimmed file " + Utf8Of(trimmedPath) + " has " +
                          std::to_string(size) + " bytes, the record says " +
                          std::to_string(r.output.size));
    }
    OutputFile out;
    CreateTarget(out, target, trimmed, o.force);
    Digests inputDigests(KindsOf(r.input.hashes));
    Digests outputDigests(KindsOf(r.output.hashes));
    Rebuild(r, trimmed, out, inputDigests, outputDigests, target);
    if (!trimmed.Unchanged() || !SameDigests(outputDigests.Hex(), r.output.hashes)) {
        throw RecordError("the trimmed file " + Utf8Of(trimmedPath) + " does not match the record");
    }
    if (!SameDigests(inputDigests.Hex(), r.input.hashes)) {
        throw RecordError("the rebuilt bytes do not match the record's input hashes");
    }
    if (!out.Commit()) {
        throw RecordError("cannot write " + Utf8Of(target));
    }
    return {target, inputDigests.Hex()};
}

Json ReportJson(const std::string& record, const Restored* restored, const std::string& error) {
    Json json{{"record", record}};
    if (restored != nullptr) {
        json["output"] = Utf8Of(restored->target);
        json["status"] = "restored";
        json["hashes"] = DigestsJson(restored->verified);
    } else {
        json["output"] = nullptr;
        json["status"] = "failed";
        json["error"] = error;
    }
    return json;
}

} // namespace

int RestoreAll(const RestoreOptions& options, std::ostream& out, std::ostream& err) {
    bool anyFailed = false;
    for (const std::string& record : options.records) {
        Json json;
        try {
            const Restored restored = RestoreOne(PathFromUtf8(record), options);
            for (const auto& [name, hex] : restored.verified) {
                err << name << " verified " << hex << '\n';
            }
            err << record << ": restored " << Utf8Of(restored.target) << '\n';
            json = ReportJson(record, &restored, {});
        } catch (const std::exception& e) {
            err << record << ": " << e.what() << '\n';
            json = ReportJson(record, nullptr, e.what());
            anyFailed = true;
        }
        err << std::flush;
        if (options.json) {
            out << json.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n' << std::flush;
        }
    }
    return anyFailed ? kExitFailed : kExitOk;
}

} // namespace kst::cli

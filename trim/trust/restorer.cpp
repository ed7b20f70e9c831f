// SPDX-License-Identifier: MIT
#include "restorer.h"

#include "digests.h"
#include "file.h"
#include "groupdigits.h"
#include "nametext.h"
#include "outputpath.h"
#include "trimrecord.h"

#include <algorithm>
#include <array>
#include <vector>

namespace kst {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kPieceBytes = std::int64_t{1} << 20;

std::string Shown(const fs::path& path) {
    return EscapeControls(Utf8Of(path));
}

// One restore's files and its stop.
struct Restore {
    const RestoreRequest& request;
    TrimRecord record;
    fs::path trimmedPath;
    fs::path target;
    InputFile trimmed;
    OutputFile out;

    void CheckStop() const {
        if (request.stopRequested && request.stopRequested()) {
            throw RestoreError("stopped; nothing restored", true);
        }
    }

    // The trimmed file's bytes [from, to), piece by piece.
    template <typename Visit> void ReadTrimmed(std::int64_t from, std::int64_t to, Visit visit) {
        std::vector<std::uint8_t> piece(static_cast<std::size_t>(kPieceBytes));
        for (std::int64_t pos = from; pos < to;) {
            CheckStop();
            const std::int64_t n = std::min(kPieceBytes, to - pos);
            if (trimmed.ReadAt(pos, piece.data(), n) != n) {
                throw RestoreError("cannot read the trimmed file " + Shown(trimmedPath));
            }
            visit(piece.data(), n);
            pos += n;
        }
    }

    void Write(const std::uint8_t* data, std::int64_t length) {
        if (out.Write(data, length) != length) {
            throw RestoreError("cannot write " + Shown(target));
        }
    }

    // Zeros become a hole where the file system keeps them; 0xFF is written.
    void AppendRun(std::int64_t count, Digests& digests) {
        if (!FeedRun(&digests, record.fill, count, request.stopRequested)) {
            CheckStop();
        }
        if (record.fill == 0) {
            if (!out.AppendZeros(count)) {
                throw RestoreError("cannot write " + Shown(target));
            }
            return;
        }
        std::vector<std::uint8_t> block(static_cast<std::size_t>(kPieceBytes), record.fill);
        for (std::int64_t left = count; left > 0;) {
            CheckStop();
            const std::int64_t n = std::min(left, kPieceBytes);
            Write(block.data(), n);
            left -= n;
        }
    }

    void OpenTrimmed() {
        std::error_code error;
        if (fs::is_symlink(fs::symlink_status(trimmedPath, error))) {
            throw RestoreError("the trimmed file " + Shown(trimmedPath) +
                               " is a link; only a regular file is read");
        }
        if (!trimmed.Open(trimmedPath, InputFile::Watch::Writes, InputFile::Links::Refuse)) {
            throw RestoreError("cannot open the trimmed file " + Shown(trimmedPath) +
                               " (it must be a regular file)");
        }
        if (const std::int64_t size = trimmed.Size(); size != record.output.size) {
            throw RestoreError("the trimmed file " + Shown(trimmedPath) + " has " +
                               std::to_string(size) + " bytes, the record says " +
                               std::to_string(record.output.size));
        }
    }

    void VerifyTrimmed() {
        Digests digests(KindsOf(record.output.hashes));
        ReadTrimmed(0, record.output.size,
                    [&](const std::uint8_t* data, std::int64_t n) { digests.Bytes(data, n); });
        if (!SameDigests(digests.Hex(), record.output.hashes)) {
            throw RestoreError("the trimmed file " + Shown(trimmedPath) +
                               " does not match the record");
        }
    }

    void CreateTarget() {
        std::error_code error;
        if (!request.force && fs::exists(fs::symlink_status(target, error))) {
            throw RestoreError(Shown(target) + " exists; --force replaces it");
        }
        switch (out.Create(target, trimmed, SpecialDestination::Replace)) {
        case CreateResult::Created:
            return;
        case CreateResult::SameFile:
            throw RestoreError(Shown(target) + " is the trimmed file itself");
        case CreateResult::Failed:
            break;
        }
        throw RestoreError("cannot create " + Shown(target));
    }

    // Asked before anything is written: the length of the file, and the
    // bytes it stores (runs of zeros as holes, which may take room too).
    void CheckRoom() {
        const std::int64_t stored =
            record.output.size - record.pad + (record.fill != 0 ? record.front + record.tail : 0);
        std::error_code error;
        const fs::space_info space =
            fs::space(target.has_parent_path() ? target.parent_path() : ".", error);
        if (!out.CanHold(record.input.size) ||
            (!error && static_cast<std::uintmax_t>(stored) > space.available)) {
            throw RestoreError("the record's input of " + GroupDigits(record.input.size) +
                               " bytes does not fit where " + Shown(target) + " goes");
        }
    }

    HexDigests Rebuild() {
        Digests digests(KindsOf(record.input.hashes));
        AppendRun(record.front, digests);
        ReadTrimmed(record.pad, record.output.size, [&](const std::uint8_t* data, std::int64_t n) {
            Write(data, n);
            digests.Bytes(data, n);
        });
        AppendRun(record.tail, digests);
        if (!trimmed.Unchanged()) {
            throw RestoreError("the trimmed file " + Shown(trimmedPath) +
                               " changed during the restore");
        }
        if (!SameDigests(digests.Hex(), record.input.hashes)) {
            throw RestoreError("the rebuilt bytes do not match the record's input hashes");
        }
        return digests.Hex();
    }
};

} // namespace

Restored RestoreOriginal(const RestoreRequest& request) {
    Restore r{request, {}, {}, {}, {}, {}};
    try {
        r.record = ParseRecord(ReadRecordFile(request.record));
    } catch (const RecordError& e) {
        throw RestoreError(EscapeControls(e.what()));
    }
    const fs::path folder = request.record.parent_path();
    r.trimmedPath = folder / PathFromUtf8(r.record.output.name);
    r.target = request.outDir.value_or(folder) / PathFromUtf8(r.record.input.name);
    r.OpenTrimmed();
    r.VerifyTrimmed();
    r.CreateTarget();
    r.CheckRoom();
    const HexDigests verified = r.Rebuild();
    r.CheckStop();
    if (!r.out.Commit()) {
        throw RestoreError("cannot write " + Shown(r.target));
    }
    return {r.target, verified};
}

} // namespace kst

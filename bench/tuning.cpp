// SPDX-License-Identifier: MIT
// In-process rows for tuning: the scans, the zero test and the copy writer
// against plain loops on files made in the work folder.
#include "copywriter.h"
#include "jobstate.h"
#include "measure.h"
#include "outputpath.h"
#include "quiethost.h"
#include "rowgroups.h"
#include "scan.h"
#include "scratch.h"
#include "trimjob.h"
#include "zerotest.h"

#include <fstream>
#include <malloc.h>
#include <memory>
#include <stdexcept>

namespace {

using namespace bench;
namespace fs = std::filesystem;

std::unique_ptr<kst::JobState> OpenJob(const fs::path& input, std::int64_t bufsize) {
    auto state = std::make_unique<kst::JobState>();
    state->inputText = input.string();
    if (!state->instream.Open(input)) {
        throw std::runtime_error("cannot open " + input.string());
    }
    state->insize = state->instream.Size();
    state->bufsize = bufsize;
    state->grid = kst::MakeChunkGrid(state->insize, bufsize);
    return state;
}

enum class Side { Leading, Trailing };

// The real scan with a host that does nothing; checks its answer.
TimedRun ScanRun(const fs::path& input, std::int64_t bufsize, Side side, std::int64_t want) {
    return [=] {
        const auto state = OpenJob(input, bufsize);
        bench::QuietHost host;
        std::int64_t got = -2;
        const double seconds = Seconds(
            [&] {
                if (side == Side::Leading) {
                    kst::ScanLeadingZeros(*state, host);
                    got = state->fzero;
                } else {
                    kst::ScanTrailingZeros(*state, host);
                    got = state->mzero;
                }
            },
            Clock::Wall);
        Expect(got == want, side == Side::Leading ? "leading scan" : "trailing scan");
        return seconds;
    };
}

TimedRun ReadRun(const fs::path& input, std::int64_t bufsize) {
    return [=] { return Seconds([&] { bench::ReadWhole(input, bufsize); }, Clock::Wall); };
}

// Four non-zero bytes at one end of a zero file, zeros at the other.
void MarkEnd(const ScratchFile& file, bool head) {
    for (std::int64_t i = 0; i < 4; ++i) {
        file.PutByte(i, head ? 0x5A : 0);
        file.PutByte(file.Size() - 1 - i, head ? 0 : 0x5A);
    }
}

} // namespace

void bench::ScanRows(Report& report, const fs::path& folder) {
    const ScratchFile file(folder, "scan.bin", 2 * kGiB);
    file.WriteZeros(0, file.Size());
    file.Sync();
    bench::ReadWhole(file.Path(), 10 * kUnit);
    for (const std::int64_t bufsize : {1 * kUnit, 5 * kUnit, 10 * kUnit}) {
        const TimedRun trailing = ScanRun(file.Path(), bufsize, Side::Trailing, file.Size() - 4);
        const TimedRun leading = ScanRun(file.Path(), bufsize, Side::Leading, file.Size() - 4);
        const auto measured = Measure(file.Size(), {ReadRun(file.Path(), bufsize),
                                                    [&] {
                                                        MarkEnd(file, true);
                                                        return trailing();
                                                    },
                                                    [&] {
                                                        MarkEnd(file, false);
                                                        return leading();
                                                    }});
        const std::string chunk = ChunkLabel(bufsize);
        report.Baseline("baseline read, 2 GiB", chunk, measured[0]);
        report.Case("trailing scan, 2 GiB, 4 bytes non-zero", chunk, measured[1], 0.85);
        report.Case("leading scan, 2 GiB, 4 bytes non-zero", chunk, measured[2], 0.85);
    }
}

namespace {

// Keeps the optimiser from assuming the buffer unchanged between calls.
void Clobber(const void* p) {
    asm volatile("" : : "r"(p) : "memory");
}

[[gnu::noinline]] std::int64_t PlainFirst(const std::uint8_t* data, std::int64_t length) {
    for (std::int64_t i = 0; i < length; ++i) {
        if (data[i] != 0) {
            return i;
        }
    }
    return -1;
}

[[gnu::noinline]] std::int64_t PlainLast(const std::uint8_t* data, std::int64_t length) {
    for (std::int64_t i = length - 1; i >= 0; --i) {
        if (data[i] != 0) {
            return i;
        }
    }
    return -1;
}

using Finder = std::int64_t (*)(const std::uint8_t*, std::int64_t);

TimedRun FindRun(const std::vector<std::uint8_t>& buffer, int repeats, Finder find,
                 std::int64_t want) {
    return [&buffer, repeats, find, want] {
        const auto length = static_cast<std::int64_t>(buffer.size());
        bool right = true;
        const double seconds = Seconds([&] {
            for (int r = 0; r < repeats; ++r) {
                Clobber(buffer.data());
                right = find(buffer.data(), length) == want && right;
            }
        });
        Expect(right, "zero test");
        return seconds;
    };
}

} // namespace

void bench::ZeroTestRows(Report& report, const fs::path& /*folder*/) {
    constexpr int kRepeats = 512;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(kMiB), 0);
    const std::int64_t last = kMiB - 1;
    const Finder first = [](const std::uint8_t* d, std::int64_t n) {
        return kst::FindFirstOther(d, n, 0);
    };
    const Finder lastOther = [](const std::uint8_t* d, std::int64_t n) {
        return kst::FindLastOther(d, n, 0);
    };

    buffer[static_cast<std::size_t>(last)] = 1;
    auto measured = Measure(kMiB * kRepeats, {FindRun(buffer, kRepeats, PlainFirst, last),
                                              FindRun(buffer, kRepeats, first, last)});
    report.Baseline("byte loop, first non-zero, 1 MiB in cache", "-", measured[0]);
    report.Case("zero test, first non-zero, 1 MiB in cache", "-", measured[1], 8);

    buffer[static_cast<std::size_t>(last)] = 0;
    buffer[0] = 1;
    measured = Measure(kMiB * kRepeats, {FindRun(buffer, kRepeats, PlainLast, 0),
                                         FindRun(buffer, kRepeats, lastOther, 0)});
    report.Baseline("byte loop, last non-zero, 1 MiB in cache", "-", measured[0]);
    report.Case("zero test, last non-zero, 1 MiB in cache", "-", measured[1], 8);
}

namespace {

// The other clock's seconds of a copy's rounds. A copy flushed to the disk
// is timed on the wall clock: the thread's CPU time leaves out the wait for
// the disk, which the flush is mostly made of, and charges the disk's
// completions to whichever thread they interrupt, so a copy that writes back
// while it copies would look dearer though it ends sooner.
struct CopyTimes {
    std::vector<double> cpu;
    std::vector<double> flush;
};

// The work's wall-clock seconds; its seconds of the thread's CPU time go to
// cpu.
template <class F> double SecondsOnBothClocks(F&& work, std::vector<double>& cpu) {
    const double startCpu = Now(Clock::Thread);
    const double seconds = Seconds(work, Clock::Wall);
    cpu.push_back(Now(Clock::Thread) - startCpu);
    return seconds;
}

// The real copy writer over the whole input as kept bytes: written under a
// temporary name, flushed, renamed onto the output's name.
TimedRun WriterRun(const fs::path& input, const fs::path& output, std::int64_t bufsize,
                   CopyTimes& times) {
    return [=, &times] {
        fs::remove(output);
        const auto state = OpenJob(input, bufsize);
        state->outputPath = output;
        state->outputText = output.string();
        state->fzero = 0;
        state->mzero = 0;
        state->outsize = state->insize;
        bench::QuietHost host;
        kst::JobEnding ending{};
        const double seconds =
            SecondsOnBothClocks([&] { ending = kst::WriteTrimmedCopy(*state, host); }, times.cpu);
        Expect(ending == kst::JobEnding::Finished && fs::file_size(output) == fs::file_size(input),
               "copy writer");
        fs::remove(output);
        return seconds;
    };
}

TimedRun PlainCopyRun(const fs::path& input, const fs::path& output, std::int64_t bufsize,
                      CopyTimes& times) {
    return [=, &times] {
        fs::remove(output);
        const double seconds = SecondsOnBothClocks(
            [&] { times.flush.push_back(bench::CopyPlain(input, output, bufsize)); }, times.cpu);
        fs::remove(output);
        return seconds;
    };
}

std::string SecondsText(double seconds) {
    return std::to_string(seconds).substr(0, 5) + " s";
}

} // namespace

void bench::CopyWriterRows(Report& report, const fs::path& folder) {
    const ScratchFile input(folder, "copy.bin", kGiB);
    input.WriteRandom(0, input.Size());
    input.Sync();
    bench::ReadWhole(input.Path(), 10 * kUnit);
    const fs::path output = folder / "copy-out.bin";
    for (const std::int64_t bufsize : {1 * kUnit, 10 * kUnit}) {
        CopyTimes plain;
        CopyTimes writer;
        const auto measured =
            Measure(input.Size(), {PlainCopyRun(input.Path(), output, bufsize, plain),
                                   WriterRun(input.Path(), output, bufsize, writer)});
        const std::string chunk = ChunkLabel(bufsize);
        report.Baseline("plain read/write copy + fdatasync, 1 GiB", chunk, measured[0]);
        report.Case("durable copy writer, 1 GiB kept", chunk, measured[1], 1.0);
        report.Seconds("plain copy's fdatasync alone, wall clock", chunk, Median(plain.flush));
        report.Note("(the thread's CPU time, median: plain copy " + SecondsText(Median(plain.cpu)) +
                    " with its fdatasync; copy writer " + SecondsText(Median(writer.cpu)) +
                    " with its flush, rename and folder sync)");
    }
}

void bench::SparseRows(Report& report, const fs::path& folder) {
    const ScratchFile file(folder, "sparse.bin", 8 * kGiB);
    file.WriteRandom(0, kMiB);
    file.Sync();
    const std::int64_t bufsize = kUnit;
    bench::ReadWhole(file.Path(), bufsize);
    const auto measured =
        Measure(file.Size(), {ReadRun(file.Path(), bufsize),
                              ScanRun(file.Path(), bufsize, Side::Trailing, file.Size() - kMiB)});
    report.Baseline("baseline read, 8 GiB sparse, 1 MiB data", ChunkLabel(bufsize), measured[0]);
    report.Case("trailing scan, 8 GiB sparse, 1 MiB data", ChunkLabel(bufsize), measured[1], 20);
}

namespace {

// Kilobytes of a "Vm..." line of /proc/self/status.
std::int64_t StatusKiB(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == key + ":") {
            std::int64_t kib = 0;
            status >> kib;
            return kib;
        }
    }
    throw std::runtime_error("no " + key + " in /proc/self/status");
}

// Hands freed heap back to the system, resets the peak resident size to the
// current one and returns it.
std::int64_t ResetPeakKiB() {
    ::malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    return StatusKiB("VmRSS");
}

// Peak memory above idle over a whole job on the input at the given chunk
// size: both scans, then the copy, its bytes moved by the kernel.
void MemoryRow(Report& report, const ScratchFile& file, std::int32_t units, double limitMib) {
    const fs::path output = kst::PathFromUtf8(kst::OutputBesideInput(file.Path().string()));
    bench::QuietHost host;
    host.texts[kst::Field::InputPath] = file.Path().string();
    host.texts[kst::Field::ChunkText] = std::to_string(units);
    host.checks[kst::Option::TrimLeading] = true;
    const std::int64_t idle = ResetPeakKiB();
    kst::JobResult result;
    const double seconds = Seconds(
        [&] {
            result = kst::RunTrimJob(host, {0, kUnit});
        },
        Clock::Wall);
    const std::int64_t peak = StatusKiB("VmHWM");
    fs::remove(output);
    Expect(result.ending == kst::JobEnding::Finished && result.frontRun == kMiB &&
               result.tailRun == kMiB - 1,
           "measure and copy");

    report.Memory("peak memory above idle, 1 GiB measure+copy", ChunkLabel(units * kUnit),
                  static_cast<double>(peak - idle) / 1024, limitMib);
    report.Note("(the job took " + SecondsText(seconds) + "; idle " + std::to_string(idle / 1024) +
                " MiB)");
}

} // namespace

void bench::MemoryRows(Report& report, const fs::path& folder) {
    // Stored, not holes: the copy moves every kept byte, as for a dump.
    const ScratchFile file(folder, "memory.bin", kGiB);
    file.WriteZeros(0, file.Size());
    file.PutByte(kMiB, 0x5A);
    file.PutByte(file.Size() - kMiB, 0x5A);
    file.Sync();
    MemoryRow(report, file, 10, static_cast<double>(10 * kUnit) / kMiB + 16);
    // The largest chunk accepted: its buffer is had but never touched, as
    // the scans read into the read-ahead's pieces and the kernel copies.
    MemoryRow(report, file, 2147, 64);
}

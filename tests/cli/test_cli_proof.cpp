// SPDX-License-Identifier: MIT
#include "clitest.h"

#include <cstdio>
#include <fstream>
#include <random>

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::vector<std::string> kAllHashes{"crc32", "md5", "sha1", "sha256"};

// A digest by the system's own tools; crc32 is the one gzip stores (as a
// little-endian word, which od reads back on this little-endian machine).
// nullopt where the tools are not at hand.
std::optional<std::string> ToolDigest(const std::string& kind, const fs::path& file) {
#ifdef _WIN32
    (void)kind;
    (void)file;
    return std::nullopt;
#else
    const std::string quoted = "'" + file.string() + "'";
    const std::string command = kind == "crc32"
                                    ? "gzip -c " + quoted + " | tail -c8 | head -c4 | od -An -tx4"
                                    : kind + "sum " + quoted;
    FILE* const pipe = ::popen(command.c_str(), "r");
    std::string text;
    for (int c; pipe != nullptr && (c = std::fgetc(pipe)) != EOF;) {
        text += static_cast<char>(c);
    }
    if (pipe == nullptr || ::pclose(pipe) != 0) {
        return std::nullopt;
    }
    text.erase(0, text.find_first_not_of(' '));
    return text.substr(0, text.find_first_of(" \n"));
#endif
}

// Each digest in digests against the tools' over file.
void ExpectToolDigests(const json& digests, const fs::path& file) {
    for (const auto& [kind, hex] : digests.items()) {
        if (const auto expected = ToolDigest(kind, file)) {
            EXPECT_EQ(hex, *expected) << kind << " of " << file;
        }
    }
}

// Random bytes whose first and last are not fill, so the runs around them
// are exactly the ones asked for.
Bytes Body(std::size_t size, std::uint8_t fill) {
    std::mt19937 random(static_cast<unsigned>(size));
    Bytes body(size);
    for (std::uint8_t& b : body) {
        b = static_cast<std::uint8_t>(random());
    }
    body.front() = body.back() = static_cast<std::uint8_t>(fill ^ 0x5A);
    return body;
}

struct RoundTripRow {
    const char* name;
    std::int64_t front;
    std::int64_t body;
    std::int64_t tail;
    std::uint8_t fill;
    const char* fillArg; // --fill's
    std::int64_t pad;
    bool sparse; // the runs are holes (fill 0 only)
};
void PrintTo(const RoundTripRow& row, std::ostream* os) {
    *os << row.name;
}

class CliRoundTripTest : public CliTest, public testing::WithParamInterface<RoundTripRow> {
protected:
    Bytes MakeInput() const {
        const RoundTripRow& r = GetParam();
        const Bytes body = Body(static_cast<std::size_t>(r.body), r.fill);
        if (r.sparse) {
            const fs::path path = dir.Write("in.bin", {});
            WriteAt(path, r.front, body);
            fs::resize_file(path, static_cast<std::uintmax_t>(r.front + r.body + r.tail));
            return ReadAll(path);
        }
        Bytes bytes(static_cast<std::size_t>(r.front), r.fill);
        bytes.insert(bytes.end(), body.begin(), body.end());
        bytes.resize(bytes.size() + static_cast<std::size_t>(r.tail), r.fill);
        dir.Write("in.bin", bytes);
        return bytes;
    }
    std::vector<std::string> TrimArgs() const {
        const RoundTripRow& r = GetParam();
        std::vector<std::string> args{"--record",  "--hash",       "sha256,crc32,md5,sha1",
                                      "--leading", "--chunk-unit", "1000"};
        if (r.fill == 0xFF) {
            args.insert(args.end(), {"--fill", "0xFF"});
        }
        if (r.pad > 0) {
            args.insert(args.end(), {"--pad", std::to_string(r.pad)});
        }
        args.push_back("in.bin");
        return args;
    }
};

TEST_P(CliRoundTripTest, RestoreGivesBackTheInputAndTheRecordHoldsItsDigests) {
    const RoundTripRow& r = GetParam();
    const Bytes input = MakeInput();
    ASSERT_EQ(Run(TrimArgs()).status, 0);
    const json record = json::parse(ReadAll(At("in(KST).bin.kstrec")));
    EXPECT_EQ(record["format"], 1);
    EXPECT_EQ(record["tool"].get<std::string>().rfind("kestrune-cli ", 0), 0u);
    EXPECT_EQ(record["input"]["name"], "in.bin");
    EXPECT_EQ(record["input"]["size"], input.size());
    EXPECT_EQ(record["fill"], r.fill);
    EXPECT_EQ(record["front"], r.front);
    EXPECT_EQ(record["tail"], r.tail);
    EXPECT_EQ(record["pad"], r.pad);
    EXPECT_EQ(record["output"]["name"], "in(KST).bin");
    EXPECT_EQ(record["output"]["size"], r.pad + r.body);
    for (const char* side : {"input", "output"}) {
        std::vector<std::string> kinds;
        for (const auto& item : record[side]["hashes"].items()) {
            kinds.push_back(item.key());
        }
        EXPECT_EQ(kinds, kAllHashes) << side;
    }
    ExpectToolDigests(record["input"]["hashes"], At("in.bin"));
    ExpectToolDigests(record["output"]["hashes"], At("in(KST).bin"));

    fs::remove(At("in.bin"));
    const CliRun restore = Run({"restore", "--json", "in(KST).bin.kstrec"});
    EXPECT_EQ(restore.status, 0) << restore.err;
    EXPECT_EQ(ReadAll(At("in.bin")), input);
    const json expected{{"record", "in(KST).bin.kstrec"},
                        {"output", "in.bin"},
                        {"status", "restored"},
                        {"hashes", record["input"]["hashes"]}};
    EXPECT_EQ(AllJsonLines(restore.out), std::vector<json>{expected});
    EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Proof, CliRoundTripTest,
    testing::Values(RoundTripRow{"TailOnly", 0, 7000, 3000, 0x00, "0x00", 0, false},
                    RoundTripRow{"FrontAndTail", 2500, 4321, 1, 0x00, "0x00", 0, false},
                    RoundTripRow{"FrontAndPad", 1000, 5000, 0, 0x00, "0x00", 17, false},
                    RoundTripRow{"ErasedRuns", 3000, 2048, 4500, 0xFF, "0xFF", 8, false},
                    RoundTripRow{"ErasedRunsPickedByAuto", 10, 2048, 700, 0xFF, "auto", 0, false},
                    RoundTripRow{"SparseBeyondOnePiece", 1500000, 300000, 1200000, 0x00, "0x00", 0,
                                 true}),
    [](const auto& info) { return std::string(info.param.name); });

// Trims in.bin with a record, removes it and applies a fault to what is left.
using Fault = void (*)(const fs::path& folder);

void EditRecord(const fs::path& folder, void (*edit)(json&)) {
    const fs::path path = folder / "in(KST).bin.kstrec";
    json record = json::parse(ReadAll(path));
    edit(record);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << record.dump(2);
}

struct RefusalRow {
    const char* name;
    Fault fault;
    std::string reason; // part of the message
};
void PrintTo(const RefusalRow& row, std::ostream* os) {
    *os << row.name;
}

class CliRefusalTest : public CliTest, public testing::WithParamInterface<RefusalRow> {};

TEST_P(CliRefusalTest, RefusedWithNothingAtTheOriginalsName) {
    const Bytes body = Body(6000, 0);
    Bytes input(100, 0);
    input.insert(input.end(), body.begin(), body.end());
    input.resize(input.size() + 900, 0);
    dir.Write("in.bin", input);
    ASSERT_EQ(Run({"--record", "--leading", "--hash", "md5,sha256", "in.bin"}).status, 0);
    fs::remove(At("in.bin"));
    GetParam().fault(dir.Path());
    const CliRun run = Run({"restore", "--json", "in(KST).bin.kstrec"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(GetParam().reason), std::string::npos) << run.err;
    EXPECT_FALSE(Exists("in.bin"));
    EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
    const auto lines = AllJsonLines(run.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["status"], "failed");
    EXPECT_EQ(lines[0]["output"], nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Proof, CliRefusalTest,
    testing::Values(
        RefusalRow{"TrimmedByteAltered",
                   [](const fs::path& f) { WriteAt(f / "in(KST).bin", 3000, {0x42}); },
                   "does not match the record"},
        RefusalRow{"TrimmedTruncated",
                   [](const fs::path& f) { fs::resize_file(f / "in(KST).bin", 5999); },
                   "has 5999 bytes, the record says 6000"},
        RefusalRow{"TrimmedMissing", [](const fs::path& f) { fs::remove(f / "in(KST).bin"); },
                   "cannot open the trimmed file"},
        RefusalRow{"InputDigestEdited",
                   [](const fs::path& f) {
                       EditRecord(f, [](json& r) {
                           std::string& hex = r["input"]["hashes"]["md5"].get_ref<std::string&>();
                           hex[0] = hex[0] == '0' ? '1' : '0';
                       });
                   },
                   "rebuilt bytes do not match"},
        RefusalRow{"FillEdited",
                   [](const fs::path& f) { EditRecord(f, [](json& r) { r["fill"] = 255; }); },
                   "rebuilt bytes do not match"},
        RefusalRow{"TailEdited",
                   [](const fs::path& f) { EditRecord(f, [](json& r) { r["tail"] = 901; }); },
                   "sizes do not add up"},
        RefusalRow{"UnknownFormat",
                   [](const fs::path& f) { EditRecord(f, [](json& r) { r["format"] = 2; }); },
                   "unknown format"},
        RefusalRow{"FieldMissing",
                   [](const fs::path& f) { EditRecord(f, [](json& r) { r.erase("front"); }); },
                   "front is missing"},
        RefusalRow{"FieldIllTyped",
                   [](const fs::path& f) { EditRecord(f, [](json& r) { r["pad"] = "0"; }); },
                   "pad is missing or of the wrong type"},
        RefusalRow{"NameWithFolder",
                   [](const fs::path& f) {
                       EditRecord(f, [](json& r) { r["input"]["name"] = "../in.bin"; });
                   },
                   "input.name is not a plain file name"},
        RefusalRow{"NotJson",
                   [](const fs::path& f) { std::ofstream(f / "in(KST).bin.kstrec") << "{"; },
                   "not valid JSON"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliTest, RestoreReplacesAnExistingFileOnlyWhenForced) {
    const Bytes input = Filled(5000, {10, 3999});
    dir.Write("in.bin", input);
    ASSERT_EQ(Run({"--record", "--leading", "in.bin"}).status, 0);
    const Bytes other = Filled(10, {1});
    dir.Write("in.bin", other);
    fs::create_directory(At("back"));

    EXPECT_EQ(Run({"restore", "in(KST).bin.kstrec"}).status, 1);
    EXPECT_EQ(ReadAll(At("in.bin")), other);
    EXPECT_EQ(Run({"restore", "--out-dir", "back", "in(KST).bin.kstrec"}).status, 0);
    EXPECT_EQ(ReadAll(At("back/in.bin")), input);
    EXPECT_EQ(Run({"restore", "--force", "in(KST).bin.kstrec"}).status, 0);
    EXPECT_EQ(ReadAll(At("in.bin")), input);
}

struct HashRow {
    const char* name;
    std::vector<std::string> args;
    Bytes input;
    bool output; // output digests reported: of the copy, or of the one it would be
};
void PrintTo(const HashRow& row, std::ostream* os) {
    *os << row.name;
}

class CliHashTest : public CliTest, public testing::WithParamInterface<HashRow> {};

// Compared with the system's tools: not run on Windows.
TEST_P(CliHashTest, DigestsMatchSystemTools) {
    const HashRow& row = GetParam();
    dir.Write("h.bin", row.input);
    std::vector<std::string> args{"--json", "--hash", "md5,crc32,sha1,sha256,md5", "--chunk-unit",
                                  "1000"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    args.push_back("h.bin");
    const CliRun run = Run(args);
    EXPECT_EQ(run.status, 0);
    const auto lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 1u);
    const json& hashes = lines[0]["hashes"];
    ExpectToolDigests(hashes["input"], At("h.bin"));
    EXPECT_EQ(hashes["input"].size(), kAllHashes.size());
    EXPECT_TRUE(HasLine(run, "sha256 input  " + hashes["input"]["sha256"].get<std::string>()));
    EXPECT_EQ(hashes.contains("output"), row.output);
    if (row.output) {
        const Trim trim = ReferenceTrim(row.input);
        const fs::path expected =
            dir.Write("expected.bin", TrimmedCopy(row.input, trim.fzero, trim.mzero, 5));
        ExpectToolDigests(hashes["output"], expected);
        EXPECT_TRUE(HasLine(run, "crc32 output " + hashes["output"]["crc32"].get<std::string>()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Proof, CliHashTest,
    testing::Values(HashRow{"Copy", {"--leading", "--pad", "5"}, Filled(9000, {700, 5000}), true},
                    HashRow{"MeasureOnly",
                            {"--measure-only", "--leading", "--pad", "5"},
                            Filled(9000, {1, 8000}),
                            true},
                    HashRow{"NothingToTrim", {}, Filled(3000, {2999}), false},
                    HashRow{"AllFill", {"--leading"}, Filled(3000, {}), false}),
    [](const auto& info) { return std::string(info.param.name); });

struct NoRecordRow {
    const char* name;
    std::vector<std::string> args;
    Bytes input;
    std::int64_t fileSizeLimit;
};
void PrintTo(const NoRecordRow& row, std::ostream* os) {
    *os << row.name;
}

class CliNoRecordTest : public CliTest, public testing::WithParamInterface<NoRecordRow> {};

TEST_P(CliNoRecordTest, NoRecordWithoutACompleteCopy) {
    const NoRecordRow& row = GetParam();
    dir.Write("n.bin", row.input);
    std::vector<std::string> args{"--record", "--json"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    args.push_back("n.bin");
    CliSetup setup;
    setup.fileSizeLimit = row.fileSizeLimit;
    const CliRun run = Run(args, setup);
    EXPECT_FALSE(Exists("n(KST).bin.kstrec"));
    const auto lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_FALSE(lines[0].contains("record"));
    EXPECT_NE(lines[0]["status"], "trimmed");
}

// ShortWrite needs a file size limit: left to the POSIX run.
INSTANTIATE_TEST_SUITE_P(
    Proof, CliNoRecordTest,
    testing::Values(NoRecordRow{"MeasureOnly", {"--measure-only"}, Filled(100, {3}), -1},
                    NoRecordRow{"NothingToTrim", {}, Filled(100, {99}), -1},
                    NoRecordRow{"ShortWrite", {}, Filled(5000, {4000}), 1000}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

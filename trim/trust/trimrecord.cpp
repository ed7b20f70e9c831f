// SPDX-License-Identifier: MIT
#include "trimrecord.h"

#include "file.h"
#include "nametext.h"
#include "outputpath.h"

#include <algorithm>
#include <limits>

namespace kst {
namespace {

using Json = nlohmann::ordered_json;

constexpr char kHexDigits[] = "0123456789abcdef";

std::string HexOfBytes(const std::string& bytes) {
    std::string hex;
    for (const char c : bytes) {
        const auto byte = static_cast<std::uint8_t>(c);
        hex += kHexDigits[byte >> 4];
        hex += kHexDigits[byte & 0xF];
    }
    return hex;
}

bool LowerHex(const std::string& text) {
    return text.find_first_not_of(kHexDigits) == std::string::npos;
}

std::string BytesOfHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const auto digit = [](char c) {
            return static_cast<int>(std::string_view(kHexDigits).find(c));
        };
        bytes += static_cast<char>(digit(hex[i]) << 4 | digit(hex[i + 1]));
    }
    return bytes;
}

// A name that is not UTF-8 also goes as its bytes in hex; "name" then shows
// it with U+FFFD for the bytes that are not.
Json SideJson(const RecordSide& side) {
    Json json{{"name", side.name}};
    if (!IsValidUtf8(side.name)) {
        json["name_hex"] = HexOfBytes(side.name);
    }
    json["size"] = side.size;
    json["hashes"] = DigestsJson(side.hashes);
    return json;
}

[[noreturn]] void Reject(const std::string& where, const std::string& what) {
    throw RecordError("record: " + where + what);
}

const Json& JsonField(const Json& object, const char* key, Json::value_t type, const char* where) {
    const auto found = object.find(key);
    const bool fits = found != object.end() &&
                      (found->type() == type ||
                       (type == Json::value_t::number_integer && found->is_number_unsigned()));
    if (!fits) {
        Reject(where, std::string(key) + " is missing or of the wrong type");
    }
    return *found;
}

std::int64_t Count(const Json& object, const char* key, const char* where) {
    const Json& value = JsonField(object, key, Json::value_t::number_integer, where);
    if (value.is_number_unsigned() &&
        value.get<std::uint64_t>() > std::uint64_t{std::numeric_limits<std::int64_t>::max()}) {
        Reject(where, std::string(key) + " is out of range");
    }
    const std::int64_t count = value.get<std::int64_t>();
    if (count < 0) {
        Reject(where, std::string(key) + " is negative");
    }
    return count;
}

// A bare file name: the record may only name files in its own folder.
bool PlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\:") == std::string::npos && name.find('\0') == std::string::npos;
}

HexDigests ParseHashes(const Json& object, const char* where) {
    HexDigests hashes;
    for (const auto& [name, hex] :
         JsonField(object, "hashes", Json::value_t::object, where).items()) {
        const std::optional<HashKind> kind = HashNamed(name);
        if (!kind) {
            Reject(where, "hashes: unknown hash " + EscapeControls(name));
        }
        if (!hex.is_string() || hex.get<std::string>().size() != HexLength(*kind) ||
            !LowerHex(hex.get<std::string>())) {
            Reject(where, "hashes." + name + " is not a lowercase hex digest");
        }
        hashes.emplace_back(name, hex.get<std::string>());
    }
    if (hashes.empty()) {
        Reject(where, "hashes is empty");
    }
    return hashes;
}

std::string ParseName(const Json& side, const char* where) {
    std::string name = JsonField(side, "name", Json::value_t::string, where).get<std::string>();
    if (side.contains("name_hex")) {
        const std::string hex =
            JsonField(side, "name_hex", Json::value_t::string, where).get<std::string>();
        if (hex.size() % 2 != 0 || !LowerHex(hex)) {
            Reject(where, "name_hex is not lowercase hex");
        }
        name = BytesOfHex(hex);
    }
    if (!PlainName(name)) {
        Reject(where, "name is not a plain file name");
    }
    return name;
}

RecordSide ParseSide(const Json& record, const char* key, const char* where) {
    const Json& side = JsonField(record, key, Json::value_t::object, "");
    RecordSide parsed;
    parsed.name = ParseName(side, where);
    parsed.size = Count(side, "size", where);
    parsed.hashes = ParseHashes(side, where);
    return parsed;
}

void CheckFormat(const Json& json) {
    if (!json.is_object()) {
        throw RecordError("record: not a JSON object");
    }
    const auto format = json.find("format");
    if (format == json.end() || !format->is_number_integer() || *format != kRecordFormat) {
        throw RecordError("record: unknown format (this tool reads format " +
                          std::to_string(kRecordFormat) + ")");
    }
}

// Every sum stays below the largest count, so none overflows.
void CheckSizes(const TrimRecord& r) {
    const std::int64_t removed = r.front + r.tail;
    if (r.front > r.input.size || r.tail > r.input.size || removed > r.input.size ||
        r.pad > r.output.size || r.output.size - r.pad != r.input.size - removed) {
        throw RecordError("record: the sizes do not add up");
    }
}

// The front and tail runs as counts of bytes; a file with no other byte is
// one run.
std::pair<std::int64_t, std::int64_t> Runs(const JobResult& r) {
    const std::int64_t front = std::max<std::int64_t>(r.frontRun, 0);
    const std::int64_t tail = r.tailRun < 0 ? r.inputSize - front : r.tailRun;
    return {front, tail};
}

} // namespace

Json DigestsJson(const HexDigests& digests) {
    Json json = Json::object();
    for (const auto& [name, hex] : digests) {
        json[name] = hex;
    }
    return json;
}

std::string RecordText(const TrimRecord& r) {
    const Json json{{"format", kRecordFormat},
                    {"tool", r.tool},
                    {"input", SideJson(r.input)},
                    {"fill", r.fill},
                    {"front", r.front},
                    {"tail", r.tail},
                    {"pad", r.pad},
                    {"output", SideJson(r.output)}};
    return json.dump(2, ' ', false, Json::error_handler_t::replace) + '\n';
}

TrimRecord ParseRecord(const std::string& text) {
    const Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded()) {
        throw RecordError("record: not valid JSON");
    }
    CheckFormat(json);
    TrimRecord r;
    r.tool = JsonField(json, "tool", Json::value_t::string, "").get<std::string>();
    r.input = ParseSide(json, "input", "input.");
    const std::int64_t fill = Count(json, "fill", "");
    if (fill != 0 && fill != 255) {
        throw RecordError("record: fill is neither 0 nor 255");
    }
    r.fill = static_cast<std::uint8_t>(fill);
    r.front = Count(json, "front", "");
    r.tail = Count(json, "tail", "");
    r.pad = Count(json, "pad", "");
    r.output = ParseSide(json, "output", "output.");
    CheckSizes(r);
    return r;
}

std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

std::filesystem::path RecordPathFor(const std::filesystem::path& output) {
    std::filesystem::path path = output;
    path += kRecordSuffix;
    return path;
}

TrimRecord RecordOf(const JobResult& result, const std::filesystem::path& input, std::int64_t pad,
                    const HexDigests& inputHashes, const HexDigests& outputHashes,
                    const std::string& tool) {
    const auto [front, tail] = Runs(result);
    TrimRecord record;
    record.tool = tool;
    record.input = {Utf8Of(input.filename()), result.inputSize, inputHashes};
    record.fill = result.fill;
    record.front = front;
    record.tail = tail;
    record.pad = pad;
    record.output = {Utf8Of(result.output.filename()), pad + result.outputSize, outputHashes};
    return record;
}

std::string ReadRecordFile(const std::filesystem::path& path) {
    InputFile file;
    if (!file.Open(path, InputFile::Watch::None)) {
        throw RecordError("cannot open the record " + EscapeControls(Utf8Of(path)) +
                          " (it must be a regular file)");
    }
    const std::int64_t size = file.Size();
    if (size > kMaxRecordBytes) {
        throw RecordError("record: too large to be one");
    }
    std::string text(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)), '\0');
    if (size < 0 || file.ReadAt(0, reinterpret_cast<std::uint8_t*>(text.data()), size) != size) {
        throw RecordError("cannot read the record " + EscapeControls(Utf8Of(path)));
    }
    return text;
}

void WriteRecord(const std::filesystem::path& path, const TrimRecord& record) {
    // The trimmed file stands in for the job's input: the record must never
    // take its place, and is readable by whoever may read it.
    InputFile trimmed;
    OutputFile out;
    const std::string text = RecordText(record);
    const auto* const bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int64_t>(text.size());
    if (!trimmed.Open(path.parent_path() / PathFromUtf8(record.output.name), InputFile::Watch::None,
                      InputFile::Links::Refuse) ||
        out.Create(path, trimmed) != CreateResult::Created || out.Write(bytes, length) != length ||
        !out.Commit()) {
        throw RecordError("cannot write the record " + EscapeControls(Utf8Of(path)));
    }
}

} // namespace kst

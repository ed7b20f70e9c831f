// SPDX-License-Identifier: MIT
#include "record.h"

#include "file.h"
#include "outputpath.h"

#include <nlohmann/json.hpp>

#include <limits>

namespace kst::cli {
namespace {

using Json = nlohmann::ordered_json;

Json SideJson(const RecordSide& side) {
    return Json{{"name", side.name}, {"size", side.size}, {"hashes", DigestsJson(side.hashes)}};
}

const Json& Field(const Json& object, const char* key, Json::value_t type, const char* where) {
    const auto found = object.find(key);
    const bool fits = found != object.end() &&
                      (found->type() == type ||
                       (type == Json::value_t::number_integer && found->is_number_unsigned()));
    if (!fits) {
        throw RecordError(std::string("record: ") + where + key +
                          " is missing or of the wrong type");
    }
    return *found;
}

std::int64_t Count(const Json& object, const char* key, const char* where) {
    const Json& value = Field(object, key, Json::value_t::number_integer, where);
    if (value.is_number_unsigned() &&
        value.get<std::uint64_t>() > std::uint64_t{std::numeric_limits<std::int64_t>::max()}) {
        throw RecordError(std::string("record: ") + where + key + " is out of range");
    }
    const std::int64_t count = value.get<std::int64_t>();
    if (count < 0) {
        throw RecordError(std::string("record: ") + where + key + " is negative");
    }
    return count;
}

// A bare file name: the record may only name files in its own folder.
bool PlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\:") == std::string::npos && name.find('\0') == std::string::npos;
}

bool LowerHex(const std::string& text) {
    return text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

HexDigests ParseHashes(const Json& object, const char* where) {
    HexDigests hashes;
    for (const auto& [name, hex] : Field(object, "hashes", Json::value_t::object, where).items()) {
        const std::optional<HashKind> kind = HashNamed(name);
        if (!kind) {
            throw RecordError(std::string("record: ") + where + "hashes: unknown hash " + name);
        }
        if (!hex.is_string() || hex.get<std::string>().size() != HexLength(*kind) ||
            !LowerHex(hex.get<std::string>())) {
            throw RecordError(std::string("record: ") + where + "hashes." + name +
                              " is not a lowercase hex digest");
        }
        hashes.emplace_back(name, hex.get<std::string>());
    }
    if (hashes.empty()) {
        throw RecordError(std::string("record: ") + where + "hashes is empty");
    }
    return hashes;
}

RecordSide ParseSide(const Json& record, const char* key, const char* where) {
    const Json& side = Field(record, key, Json::value_t::object, "");
    RecordSide parsed;
    parsed.name = Field(side, "name", Json::value_t::string, where).get<std::string>();
    if (!PlainName(parsed.name)) {
        throw RecordError(std::string("record: ") + where + "name is not a plain file name");
    }
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

void CheckSizes(const TrimRecord& r) {
    const std::int64_t removed = r.front + r.tail;
    if (removed > r.input.size || r.output.size != r.input.size - removed + r.pad ||
        r.pad > r.output.size) {
        throw RecordError("record: the sizes do not add up");
    }
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
    r.tool = Field(json, "tool", Json::value_t::string, "").get<std::string>();
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

void WriteRecord(const std::filesystem::path& path, const TrimRecord& record) {
    // The trimmed file stands in for the job's input: the record must never
    // take its place.
    InputFile trimmed;
    OutputFile out;
    const std::string text = RecordText(record);
    const auto* const bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int64_t>(text.size());
    if (!trimmed.Open(path.parent_path() / PathFromUtf8(record.output.name)) ||
        out.Create(path, trimmed) != CreateResult::Created || out.Write(bytes, length) != length ||
        !out.Commit()) {
        throw RecordError("cannot write the record " + Utf8Of(path));
    }
}

} // namespace kst::cli

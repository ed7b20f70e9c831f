// SPDX-License-Identifier: MIT
#include "tempname.h"

#include <atomic>
#include <charconv>
#include <random>
#include <string>
#include <string_view>

namespace kst {
namespace {

std::string Hex(std::uint64_t value, int digits) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0 && value != 0; --i, value >>= 4) {
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    }
    return text;
}

// FNV-1a over the name's UTF-8 bytes: the same on every platform.
std::uint64_t NameHash(const std::filesystem::path& name) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char8_t c : name.u8string()) {
        hash = (hash ^ static_cast<std::uint8_t>(c)) * 1099511628211ull;
    }
    return hash;
}

// splitmix64: every step from any seed gives a well-spread value.
std::uint64_t Mix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

std::atomic<std::uint64_t>& TokenState() {
    static std::atomic<std::uint64_t> state{[] {
        std::random_device device;
        return (std::uint64_t{device()} << 32) ^ device();
    }()};
    return state;
}

constexpr std::string_view kTempLead = ".kestrune-";

constexpr std::uint64_t kGolden = 0x9e3779b97f4a7c15ull;

std::atomic<CommitProbe>& Probe() {
    static std::atomic<CommitProbe> probe{nullptr};
    return probe;
}

} // namespace

void SetCommitProbe(CommitProbe probe) {
    Probe() = probe;
}

bool CommitProbePasses() {
    const CommitProbe probe = Probe();
    return probe == nullptr || probe();
}

std::filesystem::path TempNamePrefix(const std::filesystem::path& finalName) {
    return std::string(kTempLead) + Hex(NameHash(finalName), 16) + "-";
}

std::filesystem::path TempName(const std::filesystem::path& finalName, std::uint64_t processId,
                               std::uint64_t token) {
    return TempNamePrefix(finalName).string() + std::to_string(processId) + "-" + Hex(token, 16) +
           ".part";
}

std::int64_t TempNameProcess(const std::filesystem::path& finalName,
                             const std::filesystem::path& name) {
    const std::string prefix = TempNamePrefix(finalName).string();
    const std::string text = name.string();
    if (text.size() <= prefix.size() || text.compare(0, prefix.size(), prefix) != 0 ||
        !text.ends_with(".part")) {
        return -1;
    }
    std::int64_t pid = -1;
    const char* const first = text.data() + prefix.size();
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), pid);
    return error == std::errc{} && end != first && *end == '-' ? pid : -1;
}

bool IsTempName(const std::filesystem::path& name) {
    return IsTempName(std::string_view(name.string()));
}

bool IsTempName(std::string_view name) {
    return name.starts_with(kTempLead) && name.ends_with(".part");
}

std::uint64_t NextTempToken() {
    std::uint64_t state = TokenState().fetch_add(kGolden);
    return Mix(state);
}

void SeedTempTokens(std::uint64_t seed) {
    TokenState() = seed;
}

std::uint64_t TempTokenAfter(std::uint64_t seed, int draws) {
    std::uint64_t state = seed + static_cast<std::uint64_t>(draws) * kGolden;
    return Mix(state);
}

} // namespace kst

// SPDX-License-Identifier: MIT
#include "testfiles.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    // Windows hands a finished process's id out again at once, so the id
    // alone could meet a folder an earlier run failed to remove.
    static const unsigned run = std::random_device{}();
    path_ = fs::temp_directory_path() / ("kestrune-test-" + std::to_string(::getpid()) + "-" +
                                         std::to_string(run) + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

fs::path TempDir::Write(const std::string& name, const Bytes& bytes) const {
    const fs::path file = path_ / fs::path(std::u8string(name.begin(), name.end()));
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return file;
}

Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Utf8(const fs::path& path) {
    const std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
}

void WriteAt(const fs::path& path, std::int64_t pos, const Bytes& bytes) {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(pos);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.flush();
    if (!file) {
        throw std::runtime_error("cannot write " + Utf8(path));
    }
}

Bytes Filled(std::size_t size, const std::vector<std::size_t>& marks, std::uint8_t fill) {
    Bytes bytes(size, fill);
    for (const std::size_t at : marks) {
        bytes[at] = static_cast<std::uint8_t>(fill ^ 0x5A);
    }
    return bytes;
}

Trim ReferenceTrim(const Bytes& bytes, std::uint8_t fill) {
    Trim trim;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != fill) {
            trim.fzero = static_cast<std::int64_t>(i);
            break;
        }
    }
    for (std::size_t i = bytes.size(); i-- > 0;) {
        if (bytes[i] != fill) {
            trim.mzero = static_cast<std::int64_t>(bytes.size() - 1 - i);
            break;
        }
    }
    return trim;
}

std::vector<std::filesystem::path> TempFilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> temps;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with(".kestrune-")) {
            temps.push_back(entry.path());
        }
    }
    return temps;
}

Bytes TrimmedCopy(const Bytes& bytes, std::int64_t fzero, std::int64_t mzero, std::int64_t pad) {
    Bytes out(static_cast<std::size_t>(pad), 0);
    out.insert(out.end(), bytes.begin() + fzero, bytes.end() - mzero);
    return out;
}

std::string OpenFailed(const fs::path& path) {
    return kst::FormatMessage(kst::msg::kOpenFailed, Utf8(path));
}

std::string CreateFailed(const fs::path& path) {
    return kst::FormatMessage(kst::msg::kCreateFailed, Utf8(path));
}

std::string WriteFailed(const fs::path& path) {
    return kst::FormatMessage(kst::msg::kWriteFailed, Utf8(path));
}

std::string InputChanged(const fs::path& path) {
    return kst::FormatMessage(kst::msg::kInputChanged, Utf8(path));
}

std::string SizeLine(const fs::path& path, std::int64_t size) {
    return kst::FormatMessage(kst::msg::kSizeLine, Utf8(path)) + std::to_string(size);
}

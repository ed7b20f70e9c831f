// SPDX-License-Identifier: MIT
#include "console.h"

#ifdef _WIN32
#include <windows.h>

#include <iostream>
#include <optional>
#include <streambuf>
#include <string>
#endif

namespace kst::cli {

#ifdef _WIN32
namespace {

// Length of text's longest prefix that ends on a whole UTF-8 character, so a
// character split across two writes is converted whole.
std::size_t WholeCharacters(const std::string& text) {
    std::size_t start = text.size();
    for (int back = 0; start > 0 && back < 4; ++back) {
        const auto byte = static_cast<unsigned char>(text[start - 1]);
        if ((byte & 0xC0) != 0x80) {
            const std::size_t need = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
            return text.size() - (start - 1) >= need ? text.size() : start - 1;
        }
        --start;
    }
    return text.size(); // stray continuation bytes: the conversion replaces them
}

// Collects UTF-8 and writes it with WriteConsoleW on each flush.
class ConsoleBuffer : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            pending_ += traits_type::to_char_type(c);
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* text, std::streamsize n) override {
        pending_.append(text, static_cast<std::size_t>(n));
        return n;
    }
    int sync() override { return WritePending() ? 0 : -1; }

private:
    bool WritePending() {
        const std::size_t whole = WholeCharacters(pending_);
        const int n =
            ::MultiByteToWideChar(CP_UTF8, 0, pending_.data(), static_cast<int>(whole), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(n), L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, pending_.data(), static_cast<int>(whole), wide.data(), n);
        pending_.erase(0, whole);
        for (std::size_t done = 0; done < wide.size();) {
            DWORD written = 0;
            if (!::WriteConsoleW(console_, wide.data() + done,
                                 static_cast<DWORD>(wide.size() - done), &written, nullptr) ||
                written == 0) {
                return false;
            }
            done += written;
        }
        return true;
    }

    HANDLE console_;
    std::string pending_;
};

// One stream sent to the console while the route lives, when it is one.
class Route {
public:
    Route(std::ostream& stream, DWORD handle) : stream_(stream) {
        const HANDLE console = ::GetStdHandle(handle);
        DWORD mode = 0;
        if (console != INVALID_HANDLE_VALUE && console != nullptr &&
            ::GetConsoleMode(console, &mode)) {
            buffer_.emplace(console);
            stream_.flush();
            previous_ = stream_.rdbuf(&*buffer_);
        }
    }
    ~Route() {
        if (buffer_) {
            stream_.flush();
            stream_.rdbuf(previous_);
        }
    }
    Route(const Route&) = delete;
    Route& operator=(const Route&) = delete;

private:
    std::ostream& stream_;
    std::optional<ConsoleBuffer> buffer_;
    std::streambuf* previous_ = nullptr;
};

} // namespace

struct ConsoleStreams::Routes {
    Route out{std::cout, STD_OUTPUT_HANDLE};
    Route err{std::cerr, STD_ERROR_HANDLE};
};

ConsoleStreams::ConsoleStreams() : routes_(std::make_unique<Routes>()) {}
#else
struct ConsoleStreams::Routes {};

ConsoleStreams::ConsoleStreams() = default;
#endif

ConsoleStreams::~ConsoleStreams() = default;

} // namespace kst::cli

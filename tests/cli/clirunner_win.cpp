// SPDX-License-Identifier: MIT
// Windows side of the CLI runner: CreateProcessW with the arguments quoted
// as the C runtime parses them, both streams read through pipes, Ctrl-C
// sent through the child's console.
#include "clirunner.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <csignal>
#include <memory>
#include <thread>

namespace {

constexpr DWORD kTimeoutMs = 60'000;

struct HandleClose {
    void operator()(void* handle) const { ::CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleClose>;

std::wstring Wide(const std::string& utf8) {
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

// One argument as CommandLineToArgvW splits it back: quoted, with the
// backslashes before a quote (or the closing quote) doubled.
void AppendQuoted(std::wstring& line, const std::wstring& arg) {
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, L'\\');
    line += L'"';
}

// The CLI is copied beside the test program by the build.
std::wstring CliFolder() {
    std::wstring path(MAX_PATH, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n);
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// A pipe whose write end the child inherits; the read end stays here.
struct Pipe {
    Handle read;
    Handle write;
};
Pipe MakePipe() {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!::CreatePipe(&read, &write, &inherit, 0)) {
        ADD_FAILURE() << "CreatePipe failed";
    }
    ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    return {Handle(read), Handle(write)};
}

// Ctrl-C as a user's key press in the child's console sends it: to every
// process on that console. The runner leaves its own console (under CTest
// its streams are pipes, so none of its output is lost), attaches to the
// child's, and lets the event that reaches it pass.
BOOL WINAPI LetPass(DWORD) {
    return TRUE;
}
void SendCtrlC(const DWORD child) {
    static const bool letPass = ::SetConsoleCtrlHandler(LetPass, TRUE) != 0;
    ::FreeConsole();
    if (!letPass || !::AttachConsole(child) || !::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
        ADD_FAILURE() << "no Ctrl-C sent to kestrune-cli: " << ::GetLastError();
    }
    ::FreeConsole();
}

// SIGINT, the one signal with a console counterpart, is sent as Ctrl-C.
void SendSignal(const DWORD child, const int signal) {
    if (signal == SIGINT) {
        SendCtrlC(child);
    } else {
        ADD_FAILURE() << "signal " << signal << " has no console event";
    }
}

// Reads to the end, with the text mode's CR LF line ends made LF.
std::string ReadAllText(const HANDLE from, ErrLineWatcher* watcher = nullptr) {
    std::string text;
    char buffer[4096];
    DWORD n = 0;
    while (::ReadFile(from, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        text.append(buffer, n);
        if (watcher != nullptr) {
            watcher->Feed(text);
        }
    }
    std::string lf;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            lf += text[i];
        }
    }
    return lf;
}

// Runs program with the whole command line, reading both streams.
CliRun RunProcess(const std::wstring& program, std::wstring line, const CliSetup& setup) {
    CliRun run;
    if (setup.fileSizeLimit >= 0 || setup.stderrTerminal) {
        ADD_FAILURE() << "file-size caps and terminals are POSIX only";
        return run;
    }
    Pipe out = MakePipe();
    Pipe err = MakePipe();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out.write.get();
    startup.hStdError = err.write.get();
    PROCESS_INFORMATION process{};
    const std::wstring cwd = setup.cwd.wstring();
    // A console of its own, without a window: a Ctrl-C sent there reaches
    // the child (and what it starts) alone.
    if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                          nullptr, cwd.empty() ? nullptr : cwd.c_str(), &startup, &process)) {
        ADD_FAILURE() << "CreateProcessW failed: " << ::GetLastError();
        return run;
    }
    const Handle child(process.hProcess);
    const Handle thread(process.hThread);
    // Only the child holds the write ends now, so the reads end with it.
    out.write.reset();
    err.write.reset();
    ErrLineWatcher watcher(
        setup, [child = process.dwProcessId](const int signal) { SendSignal(child, signal); });
    std::jthread errReader(
        [&run, &err, &watcher] { run.err = ReadAllText(err.read.get(), &watcher); });
    run.out = ReadAllText(out.read.get());
    errReader.join();

    if (::WaitForSingleObject(child.get(), kTimeoutMs) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "kestrune-cli did not end in time";
        ::TerminateProcess(child.get(), 1);
    }
    DWORD status = 0;
    ::GetExitCodeProcess(child.get(), &status);
    run.status = static_cast<int>(status);
    return run;
}

} // namespace

CliRun RunCli(const std::vector<std::string>& args, const CliSetup& setup) {
    const std::wstring program = CliFolder() + L"kestrune-cli.exe";
    std::wstring line;
    AppendQuoted(line, program);
    for (const std::string& arg : args) {
        line += L' ';
        AppendQuoted(line, Wide(arg));
    }
    return RunProcess(program, line, setup);
}

CliRun RunInCmd(const std::string& command, const CliSetup& setup) {
    std::wstring system(MAX_PATH, L'\0');
    system.resize(::GetSystemDirectoryW(system.data(), static_cast<UINT>(system.size())));
    const std::wstring cmd = system + L"\\cmd.exe";
    // The CLI found on the PATH, as a user who unpacked it there types it.
    static const bool onPath = [] {
        std::wstring path(32767, L'\0');
        path.resize(
            ::GetEnvironmentVariableW(L"PATH", path.data(), static_cast<DWORD>(path.size())));
        return ::SetEnvironmentVariableW(L"PATH", (CliFolder() + L";" + path).c_str()) != 0;
    }();
    EXPECT_TRUE(onPath);
    return RunProcess(cmd, L"cmd.exe /d /c " + Wide(command), setup);
}

// SPDX-License-Identifier: MIT
#include "stoprequest.h"

#include <atomic>
#include <csignal>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kst::cli {
namespace {

// Lock-free, so a signal handler may set it; a thread too, as the console's
// control handler runs on one of its own.
std::atomic<int> stopSignal = 0;
static_assert(std::atomic<int>::is_always_lock_free);

#ifdef _WIN32
// Ctrl-C and Ctrl-Break ask to stop, as SIGINT does; a second one, or any
// other event, gets the default handling, which ends the process. A process
// started with Ctrl-C ignored is never called for it.
BOOL WINAPI OnConsoleControl(DWORD event) {
    if ((event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) || stopSignal != 0) {
        return FALSE;
    }
    stopSignal = SIGINT;
    return TRUE;
}
#else
extern "C" void OnStopSignal(int signal) {
    stopSignal = signal;
}

void Install(int signal) {
    struct sigaction previous {};
    ::sigaction(signal, nullptr, &previous);
    if (previous.sa_handler == SIG_IGN) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}
#endif

} // namespace

void InstallStopHandlers() {
#ifdef _WIN32
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
    Install(SIGINT);
    Install(SIGTERM);
#endif
}

int StopSignal() {
    return stopSignal;
}

} // namespace kst::cli

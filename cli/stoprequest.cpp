// SPDX-License-Identifier: MIT
#include "stoprequest.h"

#include <csignal>

namespace kst::cli {
namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void OnStopSignal(int signal) {
    stopSignal = signal;
}

void Install(int signal) {
#ifdef _WIN32
    // The runtime resets the handler on delivery, so a second signal has its
    // default effect, as SA_RESETHAND gives on POSIX.
    if (std::signal(signal, OnStopSignal) == SIG_IGN) {
        std::signal(signal, SIG_IGN);
    }
#else
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
#endif
}

} // namespace

void InstallStopHandlers() {
    Install(SIGINT);
    Install(SIGTERM);
}

int StopSignal() {
    return stopSignal;
}

} // namespace kst::cli

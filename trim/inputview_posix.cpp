// SPDX-License-Identifier: MIT
#include "inputview.h"

#include <mutex>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace kst {
namespace {

// A page of a mapping that lies past the end of a file cut short, or that
// the device fails to deliver, raises SIGBUS when touched. A thread running
// a test of mapped bytes leaves its way back here; the handler takes it.
thread_local sigjmp_buf* tRunning = nullptr;
struct sigaction gPrevious {};
std::once_flag gInstalled;

// Hands a SIGBUS that no test of mapped bytes raised to whoever had it
// before, or to the default action, which ends the process as it would
// have.
void PassOn(int signal, siginfo_t* info, void* context) {
    if ((gPrevious.sa_flags & SA_SIGINFO) != 0 && gPrevious.sa_sigaction != nullptr) {
        gPrevious.sa_sigaction(signal, info, context);
    } else if (gPrevious.sa_handler != SIG_DFL && gPrevious.sa_handler != SIG_IGN) {
        gPrevious.sa_handler(signal);
    } else {
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        ::sigaction(SIGBUS, &fallback, nullptr);
        ::raise(signal); // a fault would come again, but a sent signal would not
    }
}

extern "C" void OnBusError(int signal, siginfo_t* info, void* context) {
    if (sigjmp_buf* const running = tRunning) {
        tRunning = nullptr;
        siglongjmp(*running, 1);
    }
    PassOn(signal, info, context);
}

void InstallHandler() {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    // Not blocked while handled: the way back then leaves the thread's mask as
    // it was, so a test need not save the mask each time it starts.
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &gPrevious);
}

void UnblockBusErrors() {
    sigset_t bus;
    sigemptyset(&bus);
    sigaddset(&bus, SIGBUS);
    ::pthread_sigmask(SIG_UNBLOCK, &bus, nullptr);
}

std::int64_t PageBytes() {
    static const std::int64_t bytes = ::sysconf(_SC_PAGESIZE);
    return bytes;
}

} // namespace

InputView::~InputView() {
    Unmap();
}

void InputView::Unmap() {
    if (base_ != nullptr) {
        ::munmap(base_, static_cast<size_t>(length_));
        base_ = nullptr;
        length_ = 0;
    }
}

bool InputView::Map(const InputFile& input, std::int64_t pos, std::int64_t length) {
    std::call_once(gInstalled, InstallHandler);
    Unmap();
    if (length <= 0) {
        return false;
    }
    const std::int64_t from = pos - pos % PageBytes();
    const std::int64_t bytes = pos + length - from;
    void* const base = ::mmap(nullptr, static_cast<size_t>(bytes), PROT_READ, MAP_SHARED,
                              input.Handle(), static_cast<off_t>(from));
    if (base == MAP_FAILED) {
        return false;
    }
    base_ = static_cast<std::uint8_t*>(base);
    from_ = from;
    length_ = bytes;
    return true;
}

bool InputView::Holds(std::int64_t pos, std::int64_t length) const {
    return base_ != nullptr && pos >= from_ && pos + length <= from_ + length_;
}

bool InputView::Cached(std::int64_t pos) const {
    const std::int64_t page = (pos - from_) / PageBytes() * PageBytes();
    unsigned char resident = 0;
    return ::mincore(base_ + page, 1, &resident) == 0 && (resident & 1) != 0;
}

bool InputView::Run(std::int64_t pos, std::int64_t length, Test test, const void* context,
                    std::int64_t& result) const {
    sigjmp_buf back;
    if (sigsetjmp(back, 0) != 0) {
        // The handler came back: a page could not be had. Whoever ran the
        // handler may have blocked the signal meanwhile; a second one while
        // blocked would end the process.
        UnblockBusErrors();
        return false;
    }
    tRunning = &back;
    result = test(base_ + (pos - from_), length, context);
    tRunning = nullptr;
    return true;
}

std::int64_t InputView::ThreadFaults() {
#ifdef RUSAGE_THREAD
    struct rusage usage {};
    return ::getrusage(RUSAGE_THREAD, &usage) == 0 ? static_cast<std::int64_t>(usage.ru_minflt)
                                                   : -1;
#else
    return -1;
#endif
}

} // namespace kst

// The temporary files being written, for the interrupt handlers and for
// the handler of failures no code can answer (memory running out).  Only
// lock-free atomics are touched, so the handler may run at any moment on any
// thread:
// - a file is tracked from before it is created until after it was renamed
//   or removed, so whatever exists is tracked;
// - `creating` counts threads between tracking a file and creating it; the
//   handler waits for them (briefly: it may have interrupted one), so a file
//   created just after the handler looked is not missed;
// - once interrupted, no owner lets go of its path: it could still be read
//   by the handler on another thread.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <system_error>
#include <thread>

#include "platform.h"

namespace pactools::platform {

namespace {

constexpr int kSlots = 4096;
std::atomic<const char*> tracked[kSlots];
std::atomic<int> creating{0};
std::atomic<bool> interrupted{false};

[[noreturn]] void waitForTheEnd() {
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

const char* failingTool = "";  // set once at start-up

// Called instead of an abort when an exception leaves a thread.  Memory
// may have run out: the reason is put together without allocating.
[[noreturn]] void onUnexpectedFailure() {
    removeTempFilesOnInterrupt();
    char reason[256] = "unexpected failure";
    const auto say = [&](const char* text) { std::snprintf(reason, sizeof reason, "%s", text); };
    if (const std::exception_ptr failure = std::current_exception()) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::bad_alloc&) {
            say("out of memory");
        } catch (const std::system_error& e) {
            try {
                say(e.code().message().c_str());
            } catch (...) {
                say(e.what());
            }
        } catch (const std::exception& e) {
            say(e.what());
        } catch (...) {
        }
    }
    std::fprintf(stderr, "%s: %s\n", failingTool, reason);
    std::_Exit(1);
}

}  // namespace

int beginTempFile(const char* path) {
    creating.fetch_add(1);
    if (interrupted.load()) {
        creating.fetch_sub(1);
        waitForTheEnd();
    }
    for (int i = 0; i < kSlots; ++i) {
        const char* expected = nullptr;
        if (tracked[i].compare_exchange_strong(expected, path)) return i;
    }
    creating.fetch_sub(1);
    return -1;  // more files at once than slots: nothing created
}

void confirmTempFile(int) {
    const bool interruptedMeanwhile = interrupted.load();
    creating.fetch_sub(1);
    // The handler removes the file (it is tracked); this thread waits.
    if (interruptedMeanwhile) waitForTheEnd();
}

void endTempFile(int slot) {
    if (slot >= 0 && slot < kSlots) tracked[slot].store(nullptr);
    if (interrupted.load()) waitForTheEnd();
}

void handleUnexpectedFailures(const char* tool) {
    failingTool = tool;
    std::set_terminate(onUnexpectedFailure);
}

void removeTempFilesOnInterrupt() {
    interrupted.store(true);
    // Threads that are creating a file finish doing so (a few milliseconds
    // at most); this thread may be one of them, hence the bound.
    for (int waited = 0; waited < 500 && creating.load() > 0; ++waited) {
        sleepOneMillisecond();
    }
    for (auto& slot : tracked) {
        if (const char* path = slot.load()) removeFileNow(path);
    }
}

}  // namespace pactools::platform

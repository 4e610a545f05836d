// The temporary files being written, for the interrupt handlers.  Only
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

bool confirmTempFile(int slot) {
    const bool ok = !interrupted.load();
    creating.fetch_sub(1);
    if (!ok) {
        // The handler removes the file (it is tracked); this thread waits.
        (void)slot;
        waitForTheEnd();
    }
    return ok;
}

void endTempFile(int slot) {
    if (slot < 0 || slot >= kSlots) return;
    tracked[slot].store(nullptr);
    if (interrupted.load()) waitForTheEnd();
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

#include "progress_line.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform.h"

namespace pactools {

ProgressLine::ProgressLine(std::uint64_t total, bool enabled, const ProgressDisplay& display)
    : total_(total), display_(display) {
    if (!enabled) return;
    if (display_.out == nullptr) {
        if (!platform::standardErrorIsTerminal()) return;
        display_.out = stderr;
    }
    ticker_ = std::thread([this] { run(); });
}

ProgressLine::~ProgressLine() {
    if (!ticker_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_.notify_all();
    ticker_.join();
    std::lock_guard lock(mutex_);
    erase();
}

void ProgressLine::around(const std::function<void()>& print) {
    if (!ticker_.joinable()) {
        print();
        return;
    }
    std::lock_guard lock(mutex_);
    erase();
    print();
}

std::string ProgressLine::text(std::uint64_t done, std::uint64_t total, double seconds) {
    const double share = total == 0 ? 100.0 : std::min(99.9, 100.0 * static_cast<double>(done) / static_cast<double>(total));
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    char line[96];
    if (rate > 0 && done < total) {
        const auto left = static_cast<unsigned long long>(static_cast<double>(total - done) / rate + 0.5);
        std::snprintf(line, sizeof line, "%5.1f%%  %.1f MB/s  %llu:%02llu left", share, rate / 1e6, left / 60, left % 60);
    } else {
        std::snprintf(line, sizeof line, "%5.1f%%  %.1f MB/s", share, rate / 1e6);
    }
    return line;
}

void ProgressLine::run() {
    using namespace std::chrono;
    std::unique_lock lock(mutex_);
    // Nothing in the first half second: short work shows no line at all.
    if (stop_.wait_for(lock, display_.delay, [this] { return stopping_; })) return;
    do {
        const double seconds = duration<double>(steady_clock::now() - start_).count();
        std::string line = text(done_.load(std::memory_order_relaxed), total_, seconds);
        const std::size_t length = line.size();
        if (length < shown_) line.append(shown_ - length, ' ');
        std::fprintf(display_.out, "\r%s", line.c_str());
        std::fflush(display_.out);
        shown_ = std::max(shown_, length);
    } while (!stop_.wait_for(lock, display_.interval, [this] { return stopping_; }));
}

void ProgressLine::erase() {
    if (shown_ == 0) return;
    std::fprintf(display_.out, "\r%s\r", std::string(shown_, ' ').c_str());
    std::fflush(display_.out);
    shown_ = 0;
}

}  // namespace pactools

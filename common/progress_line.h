// One line of progress on the console for long work: the share of bytes
// done, the rate and the time left.  It appears only when standard error is
// a terminal and the work has taken half a second, is redrawn at most ten
// times a second, and is erased when the work ends, so the console keeps
// only the tools' own lines.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace pactools {

// Where and when the line is drawn.
struct ProgressDisplay {
    std::FILE* out = nullptr;  // null: standard error, when it is a terminal
    std::chrono::milliseconds delay{500};    // nothing before this
    std::chrono::milliseconds interval{100};  // between redraws
};

class ProgressLine {
public:
    // Shows nothing when `enabled` is false or (without display.out)
    // standard error is not a terminal.
    ProgressLine(std::uint64_t total, bool enabled, const ProgressDisplay& display = {});
    ~ProgressLine();  // erases the line
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Bytes done grew by `bytes`; from any thread.
    void add(std::uint64_t bytes) { done_.fetch_add(bytes, std::memory_order_relaxed); }
    // Runs `print`, which writes lines of the tool's own, with the progress
    // line out of their way.
    void around(const std::function<void()>& print);

    // The line's text for these figures ("42.0%  12.3 MB/s  0:07 left").
    static std::string text(std::uint64_t done, std::uint64_t total, double seconds);

private:
    void run();
    void erase();  // with mutex_ held

    const std::uint64_t total_;
    ProgressDisplay display_;
    std::atomic<std::uint64_t> done_{0};
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::mutex mutex_;
    std::condition_variable stop_;
    bool stopping_ = false;
    std::size_t shown_ = 0;  // characters of the line on the console
    std::thread ticker_;
};

}  // namespace pactools

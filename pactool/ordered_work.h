// Work on every core whose results are taken in list order: work(i) runs on
// worker threads, members taken in order and at most `ahead` beyond the one
// being taken; consume(i, result) runs on the calling thread in order, so
// messages and outcomes are those of a one-thread run.  consume returning
// false stops: work not yet begun is never begun, and results not taken are
// dropped.  With one thread everything runs on the calling thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace pactools {

template <class Result>
void runInOrder(std::size_t count, unsigned threads, std::size_t ahead, const std::function<Result(std::size_t)>& work,
                const std::function<bool(std::size_t, Result&)>& consume) {
    if (threads <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            Result result = work(i);
            if (!consume(i, result)) return;
        }
        return;
    }
    std::vector<std::optional<Result>> results(count);
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t next = 0;      // the next item to begin
    std::size_t consumed = 0;  // the item being taken
    bool stopping = false;
    const auto worker = [&] {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return stopping || next >= count || next < consumed + ahead; });
            if (stopping || next >= count) return;
            const std::size_t i = next++;
            lock.unlock();
            Result result = work(i);
            lock.lock();
            results[i].emplace(std::move(result));
            changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads && t < count; ++t) workers.emplace_back(worker);
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_lock lock(mutex);
        consumed = i;
        changed.notify_all();
        changed.wait(lock, [&] { return results[i].has_value(); });
        Result result = std::move(*results[i]);
        results[i].reset();
        lock.unlock();
        if (!consume(i, result)) break;
    }
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    for (std::thread& t : workers) t.join();
}

}  // namespace pactools

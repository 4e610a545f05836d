// Work on every core whose results are taken in list order: work(i) runs on
// worker threads, members taken in order and at most `ahead` beyond the one
// being taken (and, when `sizeOf` is given, items whose sizes add up to at
// most `aheadBytes` beyond it, one item at least however large);
// consume(i, result) runs on the calling thread in order, so messages and
// outcomes are those of a one-thread run.  consume returning false stops:
// work not yet begun is never begun, and results not taken are dropped.
// With one thread everything runs on the calling thread.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace pactools {

template <class Result>
void runInOrder(std::size_t count, unsigned threads, std::size_t ahead, const std::function<Result(std::size_t)>& work,
                const std::function<bool(std::size_t, Result&)>& consume,
                const std::function<std::uint64_t(std::size_t)>& sizeOf = {}, std::uint64_t aheadBytes = UINT64_MAX) {
    if (threads <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            Result result = work(i);
            if (!consume(i, result)) return;
        }
        return;
    }
    std::vector<std::optional<Result>> results(count);
    std::mutex mutex;
    // Each side is woken only when what it waits for came: the calling
    // thread when the result it takes next is there, a worker when there is
    // room to begin another item.  (Waking every thread at every result
    // costs more than the work itself when the items are small.)
    std::condition_variable ready;
    std::condition_variable room;
    std::size_t next = 0;      // the next item to begin
    std::size_t consumed = 0;  // the item being taken
    std::uint64_t begun = 0;   // the sizes of items from `consumed` to `next`
    unsigned waiting = 0;      // workers waiting for room
    bool stopping = false;
    const auto hasRoom = [&] {
        if (next >= consumed + ahead) return false;
        return next == consumed || !sizeOf || sizeOf(next) <= aheadBytes - std::min(begun, aheadBytes);
    };
    const auto worker = [&] {
        std::unique_lock lock(mutex);
        for (;;) {
            while (!stopping && next < count && !hasRoom()) {
                ++waiting;
                room.wait(lock);
                --waiting;
            }
            if (stopping || next >= count) return;
            if (sizeOf) begun += sizeOf(next);
            const std::size_t i = next++;
            lock.unlock();
            Result result = work(i);
            lock.lock();
            results[i].emplace(std::move(result));
            if (i == consumed) ready.notify_one();
        }
    };
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads && t < count; ++t) workers.emplace_back(worker);
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_lock lock(mutex);
        if (i > 0 && sizeOf) begun -= sizeOf(i - 1);
        consumed = i;
        if (waiting > 0 && next < count && hasRoom()) room.notify_all();
        ready.wait(lock, [&] { return results[i].has_value(); });
        Result result = std::move(*results[i]);
        results[i].reset();
        lock.unlock();
        if (!consume(i, result)) break;
    }
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    room.notify_all();
    for (std::thread& t : workers) t.join();
}

}  // namespace pactools

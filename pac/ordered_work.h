// Work on worker threads whose results are taken in list order on one
// thread: the scheduler of archive, extract and test.
//
// work(i, feed) runs on a worker thread for every item i, items begun in
// list order, and hands item i's results on through `feed` in any number of
// parts; take(i, part) runs on the calling thread for every part, item by
// item in list order, so messages and outcomes are those of a one-thread
// run.  take returning false stops the run: work not yet begun is never
// begun, a feed's calls return false from then on (work should end), and
// parts not taken are dropped.
//
// Look-ahead is bounded in items (items begun and not yet all taken) and in
// bytes: a work item reserves the bytes it is about to hold (a part it will
// hand on, a file it will write) and they are held until the item's next
// part is taken.  An item ahead of the one being taken waits for room; the
// one being taken never does, so the run always moves on, and one reservation
// however large is let through when nothing else is held.
//
// With one thread (or one item) everything runs on the calling thread, each
// part taken as it is handed on.  The threads started are never more than
// the items.  When a thread cannot be started (std::system_error), or work
// or take throws (std::bad_alloc), the threads already started are stopped
// and joined, and the exception goes on from the calling thread.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace pactools {

struct OrderedWorkLimits {
    std::size_t items = SIZE_MAX;          // items begun and not yet taken (at least 1)
    std::uint64_t bytes = UINT64_MAX;      // bytes all items hold at once
    std::uint64_t itemBytes = UINT64_MAX;  // bytes one item holds at once
};

// What a run did, for those who tune or test it.
struct OrderedWorkStats {
    unsigned threads = 0;         // worker threads started
    std::uint64_t peakBytes = 0;  // the most bytes held at once
    std::size_t waits = 0;        // times a worker waited for room (to begin an item, or for bytes)
};

template <class Part>
struct OrderedRun;

// How a work item hands on its results.
template <class Part>
class WorkFeed {
public:
    // Waits until `bytes` more fit within the limits, then holds them for
    // the item until its next part is taken (or the item ends).  False when
    // the run is stopping.
    bool reserve(std::uint64_t bytes);
    // Hands on the item's next part; false when the run is stopping.
    bool deliver(Part part);

private:
    friend struct OrderedRun<Part>;
    WorkFeed(OrderedRun<Part>& run, std::size_t item) : run_(run), item_(item) {}
    OrderedRun<Part>& run_;
    std::size_t item_;
};

// The state of one run, shared by its threads.
template <class Part>
struct OrderedRun {
    struct Held {
        Part part;
        std::uint64_t bytes;  // released when the part is taken
    };
    struct Item {
        std::deque<Held> parts;
        std::uint64_t reserved = 0;  // held, not yet handed on with a part
        std::uint64_t held = 0;      // reserved + the bytes of the parts waiting
        bool done = false;           // work(i) returned
    };

    OrderedRun(const std::function<void(std::size_t, WorkFeed<Part>&)>& doWork,
               const std::function<bool(std::size_t, Part&)>& takePart, const OrderedWorkLimits& given)
        : work(doWork), take(takePart), limits(given) {
        limits.items = std::max<std::size_t>(1, given.items);
    }

    const std::function<void(std::size_t, WorkFeed<Part>&)>& work;
    const std::function<bool(std::size_t, Part&)>& take;
    OrderedWorkLimits limits;
    OrderedWorkStats stats;
    bool threaded = false;

    // Guarded by `mutex` when threaded.
    std::mutex mutex;
    // Each side is woken only when what it waits for came: the calling
    // thread when the item it takes has a part or ended, a worker when there
    // is room for it.  (Waking every thread at every part costs more than
    // the work itself when the items are small.)
    std::condition_variable ready;
    std::condition_variable room;
    // The items begun and not yet taken, item i at i % window.size() (no
    // more can be begun than it holds).
    std::vector<Item> window;
    std::size_t count = 0;
    std::size_t next = 0;    // the next item to begin
    std::size_t taking = 0;  // the item being taken
    std::uint64_t held = 0;  // bytes all items hold
    unsigned waiting = 0;    // workers waiting for room
    bool stopping = false;
    std::exception_ptr failure;  // what a worker threw

    bool fits(const Item& item, std::uint64_t bytes) const {
        const auto within = [](std::uint64_t now, std::uint64_t more, std::uint64_t limit) {
            return now == 0 || (now <= limit && more <= limit - now);
        };
        return within(held, bytes, limits.bytes) && within(item.held, bytes, limits.itemBytes);
    }

    void hold(Item& item, std::uint64_t bytes) {
        item.reserved += bytes;
        item.held += bytes;
        held += bytes;
        stats.peakBytes = std::max(stats.peakBytes, held);
    }

    void release(Item& item, std::uint64_t bytes) {
        item.held -= bytes;
        held -= bytes;
        if (waiting > 0 && bytes > 0) room.notify_all();
    }

    bool reserve(std::size_t i, std::uint64_t bytes) {
        if (!threaded) {
            if (stopping) return false;
            stats.peakBytes = std::max(stats.peakBytes, bytes);
            return true;
        }
        std::unique_lock lock(mutex);
        Item& item = window[i % window.size()];
        if (!stopping && i != taking && !fits(item, bytes)) {
            ++stats.waits;
            ++waiting;
            room.wait(lock, [&] { return stopping || i == taking || fits(item, bytes); });
            --waiting;
        }
        if (stopping) return false;
        hold(item, bytes);
        return true;
    }

    bool deliver(std::size_t i, Part&& part) {
        if (!threaded) {
            if (stopping) return false;
            stopping = !take(i, part);
            return !stopping;
        }
        std::lock_guard lock(mutex);
        if (stopping) return false;
        Item& item = window[i % window.size()];
        item.parts.push_back(Held{std::move(part), item.reserved});
        item.reserved = 0;
        if (i == taking) ready.notify_one();
        return true;
    }

    void worker() {
        std::unique_lock lock(mutex);
        for (;;) {
            const auto canBegin = [&] { return next - taking < limits.items; };
            if (!stopping && next < count && !canBegin()) {
                ++stats.waits;
                ++waiting;
                room.wait(lock, [&] { return stopping || canBegin(); });
                --waiting;
            }
            if (stopping || next >= count) return;
            const std::size_t i = next++;
            lock.unlock();
            try {
                WorkFeed<Part> feed(*this, i);
                work(i, feed);
            } catch (...) {
                lock.lock();
                if (!failure) failure = std::current_exception();
                stopping = true;
                ready.notify_one();
                room.notify_all();
                return;
            }
            lock.lock();
            window[i % window.size()].done = true;
            if (i == taking) ready.notify_one();
        }
    }

    void stop() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        room.notify_all();
    }

    // Takes every part in order on this thread, until the end or a stop.
    void takeAll() {
        for (std::size_t i = 0; i < count; ++i) {
            std::unique_lock lock(mutex);
            taking = i;
            if (waiting > 0) room.notify_all();
            Item& item = window[i % window.size()];
            for (;;) {
                ready.wait(lock, [&] { return stopping || !item.parts.empty() || item.done; });
                if (stopping) return;
                if (item.parts.empty()) break;
                Held first = std::move(item.parts.front());
                item.parts.pop_front();
                release(item, first.bytes);
                lock.unlock();
                const bool more = take(i, first.part);
                lock.lock();
                if (!more) return;
            }
            release(item, item.held);  // reserved, never handed on
            item.done = false;          // the place of item i + window.size()
            item.reserved = 0;
        }
    }

    void run(std::size_t total, unsigned threads) {
        if (threads <= 1 || total <= 1) {
            for (std::size_t i = 0; i < total && !stopping; ++i) {
                WorkFeed<Part> feed(*this, i);
                work(i, feed);
            }
            return;
        }
        threaded = true;
        count = total;
        window = std::vector<Item>(std::min(total, limits.items));
        std::vector<std::thread> workers;
        // Whatever ends the run (the end, a stop, a thread that could not
        // start, an exception from take) stops and joins the workers.
        struct Joiner {
            OrderedRun& run;
            std::vector<std::thread>& workers;
            ~Joiner() {
                run.stop();
                for (std::thread& t : workers) t.join();
            }
        } joiner{*this, workers};
        const unsigned wanted = static_cast<unsigned>(std::min<std::size_t>(threads, total));
        workers.reserve(wanted);
        for (unsigned t = 0; t < wanted; ++t) {
            workers.emplace_back([this] { worker(); });
            stats.threads = t + 1;
        }
        takeAll();
    }
};

template <class Part>
bool WorkFeed<Part>::reserve(std::uint64_t bytes) {
    return run_.reserve(item_, bytes);
}

template <class Part>
bool WorkFeed<Part>::deliver(Part part) {
    return run_.deliver(item_, std::move(part));
}

// Runs `count` items on up to `threads` workers, each handing on its parts
// through its feed, taken in order by `take` (see the top of this file).
template <class Part>
void streamInOrder(std::size_t count, unsigned threads, const OrderedWorkLimits& limits,
                   const std::function<void(std::size_t, WorkFeed<Part>&)>& work,
                   const std::function<bool(std::size_t, Part&)>& take, OrderedWorkStats* stats = nullptr) {
    OrderedRun<Part> run(work, take, limits);
    struct Report {
        OrderedRun<Part>& run;
        OrderedWorkStats* stats;
        ~Report() {
            if (stats != nullptr) *stats = run.stats;
        }
    } report{run, stats};
    run.run(count, threads);
    if (run.failure) std::rethrow_exception(run.failure);
}

// The same for work whose result is one part: work(i) gives it, after
// holding `sizeOf(i)` bytes (when given) from before it begins.
template <class Result>
void runInOrder(std::size_t count, unsigned threads, const OrderedWorkLimits& limits,
                const std::function<Result(std::size_t)>& work, const std::function<bool(std::size_t, Result&)>& take,
                const std::function<std::uint64_t(std::size_t)>& sizeOf = {}, OrderedWorkStats* stats = nullptr) {
    const std::function<void(std::size_t, WorkFeed<Result>&)> whole = [&](std::size_t i, WorkFeed<Result>& feed) {
        if (sizeOf && !feed.reserve(sizeOf(i))) return;
        feed.deliver(work(i));
    };
    streamInOrder<Result>(count, threads, limits, whole, take, stats);
}

}  // namespace pactools

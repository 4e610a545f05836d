#include "ordered_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

namespace pactools {
namespace {

using std::chrono::milliseconds;

// Item i hands on i % 4 parts ("i.0", "i.1"...), the later items faster than
// the earlier ones, so workers finish out of order.
TEST(OrderedWork, EveryPartIsTakenInOrderWhateverTheThreads) {
    constexpr std::size_t kItems = 60;
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < kItems; ++i) {
        for (std::size_t k = 0; k < i % 4; ++k) expected.push_back(std::to_string(i) + "." + std::to_string(k));
    }
    const std::function<void(std::size_t, WorkFeed<std::string>&)> work = [](std::size_t i, WorkFeed<std::string>& feed) {
        for (std::size_t k = 0; k < i % 4; ++k) {
            if (i % 7 == 0) std::this_thread::sleep_for(milliseconds(2));
            if (!feed.reserve(1) || !feed.deliver(std::to_string(i) + "." + std::to_string(k))) return;
        }
    };
    for (const unsigned threads : {1u, 2u, 3u, 8u}) {
        std::vector<std::string> taken;
        const std::function<bool(std::size_t, std::string&)> take = [&](std::size_t, std::string& part) {
            taken.push_back(part);
            return true;
        };
        OrderedWorkStats stats;
        OrderedWorkLimits limits;
        limits.items = 5;
        streamInOrder<std::string>(kItems, threads, limits, work, take, &stats);
        EXPECT_EQ(taken, expected) << threads << " threads";
        EXPECT_EQ(stats.threads, threads == 1 ? 0u : threads) << "worker threads for " << threads;
    }
    // Never more threads than items.
    OrderedWorkStats stats;
    const std::function<bool(std::size_t, std::string&)> any = [](std::size_t, std::string&) { return true; };
    streamInOrder<std::string>(3, 8, {}, work, any, &stats);
    EXPECT_EQ(stats.threads, 3u);
}

// While the first item is being taken (slowly), the workers run ahead only
// as far as each limit lets them: they wait, and what they hold stays within
// the bound (the item being taken never waits: its parts may come on top).
TEST(OrderedWork, WorkersAheadWaitForRoomInItemsAndInBytes) {
    const struct {
        const char* what;
        OrderedWorkLimits limits;
        std::uint64_t reservation;  // each of an item's three parts
        std::uint64_t peakBound;
    } cases[] = {
        {"items", {3, UINT64_MAX, UINT64_MAX}, 10, 3 * 30},
        {"bytes", {SIZE_MAX, 100, UINT64_MAX}, 10, 100 + 30},
        {"an item's bytes", {2, UINT64_MAX, 25}, 10, 30 + 20},
    };
    for (const auto& c : cases) {
        std::atomic<std::size_t> begun{0};
        std::atomic<std::size_t> takenItems{0};
        std::atomic<std::size_t> mostAhead{0};  // items begun beyond those taken, at most
        const std::function<void(std::size_t, WorkFeed<int>&)> work = [&](std::size_t, WorkFeed<int>& feed) {
            const std::size_t ahead = ++begun - takenItems;
            for (std::size_t seen = mostAhead; ahead > seen && !mostAhead.compare_exchange_weak(seen, ahead);) {
            }
            for (int k = 0; k < 3; ++k) {
                if (!feed.reserve(c.reservation) || !feed.deliver(k)) return;
            }
        };
        const std::function<bool(std::size_t, int&)> take = [&](std::size_t i, int& part) {
            if (i == 0 && part == 0) std::this_thread::sleep_for(milliseconds(100));
            if (part == 2) ++takenItems;
            return true;
        };
        OrderedWorkStats stats;
        streamInOrder<int>(40, 4, c.limits, work, take, &stats);
        EXPECT_GT(stats.waits, 0u) << c.what;
        EXPECT_LE(stats.peakBytes, c.peakBound) << c.what;
        EXPECT_LE(mostAhead.load(), std::min<std::size_t>(c.limits.items, 40)) << c.what;
        EXPECT_EQ(takenItems.load(), 40u) << c.what;
    }
}

// take refusing a part stops the run: no item begins after it but those
// already allowed ahead, and work still running is told to stop.  An
// exception from work stops the run too and comes out of the call.
TEST(OrderedWork, StopsWhenTakeRefusesOrWorkThrows) {
    for (const unsigned threads : {1u, 4u}) {
        std::atomic<std::size_t> latest{0};
        std::atomic<int> refused{0};
        const std::function<void(std::size_t, WorkFeed<int>&)> work = [&](std::size_t i, WorkFeed<int>& feed) {
            for (std::size_t seen = latest; i > seen && !latest.compare_exchange_weak(seen, i);) {
            }
            for (int k = 0; k < 1000; ++k) {
                if (!feed.reserve(1) || !feed.deliver(k)) {
                    ++refused;
                    return;
                }
            }
        };
        std::size_t lastTaken = 0;
        const std::function<bool(std::size_t, int&)> take = [&](std::size_t i, int& part) {
            lastTaken = i;
            return !(i == 5 && part == 10);
        };
        OrderedWorkLimits limits;
        limits.items = 3;
        limits.itemBytes = 20;  // items ahead wait after 20 parts
        streamInOrder<int>(100, threads, limits, work, take);
        EXPECT_EQ(lastTaken, 5u) << threads;
        EXPECT_LT(latest.load(), 5u + 3u) << threads;
        EXPECT_GE(refused.load(), 1) << threads;

        const std::function<void(std::size_t, WorkFeed<int>&)> throwing = [](std::size_t i, WorkFeed<int>& feed) {
            if (i == 3) throw std::runtime_error("item 3");
            feed.deliver(static_cast<int>(i));
        };
        std::vector<int> taken;
        const std::function<bool(std::size_t, int&)> keep = [&](std::size_t, int& part) {
            taken.push_back(part);
            return true;
        };
        EXPECT_THROW(streamInOrder<int>(100, threads, limits, throwing, keep), std::runtime_error) << threads;
        EXPECT_LE(taken.size(), 3u) << threads;
        for (std::size_t i = 0; i < taken.size(); ++i) EXPECT_EQ(taken[i], static_cast<int>(i));
    }
}

}  // namespace
}  // namespace pactools

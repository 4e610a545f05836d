#include "member_batches.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common_faults.h"

namespace pactools {
namespace {

// What the batches did, in order, and what became of each member's file.
struct Log {
    std::string events;
    std::set<std::uint32_t> published, discarded;
};

class FakeFile : public PendingMember {
public:
    FakeFile(std::uint32_t index, Log& log) : index_(index), log_(log) {}
    ~FakeFile() override {
        if (!published_) log_.discarded.insert(index_);
    }
    std::uint32_t index_;
    Log& log_;
    bool published_ = false;
};

enum class Failure { None, Restore, Flush, Publish };

// Runs members of `sizes` through batches of `limits`, failing as told at
// member `at`; returns the log.
Log run(const std::vector<std::uint64_t>& sizes, const BatchLimits& limits, Failure failure, std::uint32_t at) {
    Log log;
    BatchActions actions;
    actions.flush = [&](std::span<PendingMember* const> files, Error& error) {
        log.events += "flush";
        std::size_t flushed = 0;
        for (PendingMember* file : files) {
            const std::uint32_t index = static_cast<FakeFile*>(file)->index_;
            log.events += " " + std::to_string(index);
            if (failure == Failure::Flush && index == at) {
                error = Error(CommonFault::WriteFailed);
                break;
            }
            ++flushed;
        }
        log.events += ";";
        return flushed;
    };
    actions.publish = [&](PendingMember& member) {
        FakeFile& file = static_cast<FakeFile&>(member);
        if (failure == Failure::Publish && file.index_ == at) return Error(CommonFault::CannotCreate);
        EXPECT_FALSE(file.published_);
        file.published_ = true;
        log.published.insert(file.index_);
        log.events += "publish " + std::to_string(file.index_) + ";";
        return Error();
    };
    actions.turn = [&](std::uint32_t index) { log.events += "turn " + std::to_string(index) + ";"; };
    MemberBatches batches(limits, actions);
    bool going = true;
    for (std::uint32_t i = 0; i < sizes.size() && going; ++i) {
        going = failure == Failure::Restore && i == at ? batches.fail(i, Error(CommonFault::ReadFailed))
                                                        : batches.take(i, sizes[i], std::make_unique<FakeFile>(i, log));
    }
    if (going) going = batches.finish();
    EXPECT_EQ(going, failure == Failure::None);
    EXPECT_EQ(batches.failed(), failure != Failure::None);
    return log;
}

// The batches a run makes: a member that would take a batch past its bytes
// starts the next; a batch ends when it holds its members or its bytes.
// `open` tells the batches that only the next member ended (they are put
// in place once that member is taken).
struct Batch {
    std::vector<std::uint32_t> members;
    bool open = false;
};

std::vector<Batch> batchesOf(const std::vector<std::uint64_t>& sizes, const BatchLimits& limits) {
    std::vector<Batch> batches(1);
    std::uint64_t bytes = 0;
    for (std::uint32_t i = 0; i < sizes.size(); ++i) {
        if (!batches.back().members.empty() && bytes + sizes[i] > limits.bytes) {
            batches.back().open = true;
            batches.emplace_back();
            bytes = 0;
        }
        batches.back().members.push_back(i);
        bytes += sizes[i];
        if (batches.back().members.size() == limits.members || bytes >= limits.bytes) {
            batches.emplace_back();
            bytes = 0;
        }
    }
    if (batches.back().members.empty()) batches.pop_back();
    return batches;
}

// Every failure point in turn, for batches bounded by members and by bytes:
// the batches before the failure's are in place, in order; nothing of its
// batch is (but what its rename failure left before it); every file not
// put in place is discarded.
TEST(MemberBatches, AFailureAnywhereReplacesNothingOfItsBatch) {
    const struct {
        std::vector<std::uint64_t> sizes;
        BatchLimits limits;
    } shapes[] = {
        {{1, 1, 1, 1, 1, 1, 1}, {3, 1000}},
        {{4, 2, 9, 1, 1, 5, 30, 2}, {10, 8}},  // bytes bound them; 9 and 30 are batches of their own
    };
    for (const auto& shape : shapes) {
        const std::vector<Batch> batches = batchesOf(shape.sizes, shape.limits);
        const auto n = static_cast<std::uint32_t>(shape.sizes.size());
        for (Failure failure : {Failure::None, Failure::Restore, Failure::Flush, Failure::Publish}) {
            for (std::uint32_t at = 0; at < (failure == Failure::None ? 1 : n); ++at) {
                std::string events;
                std::set<std::uint32_t> published;
                std::uint32_t taken = n;  // the members given a file
                for (std::size_t b = 0; b < batches.size(); ++b) {
                    const std::vector<std::uint32_t>& batch = batches[b].members;
                    const bool failing = failure != Failure::None && at >= batch.front() && at <= batch.back();
                    // A restore failure at the member that would end an open batch finds it unsettled.
                    const bool next = failure == Failure::Restore && batches[b].open && at == batch.back() + 1;
                    if ((failing && failure == Failure::Restore) || next) {
                        events += "turn " + std::to_string(at) + ";";
                        taken = at;
                        break;
                    }
                    // (An open batch is settled once the next member is taken.)
                    if (failing) taken = batch.back() + (batches[b].open ? 2 : 1);
                    events += "flush";
                    for (std::uint32_t i : batch) {
                        events += " " + std::to_string(i);
                        if (failing && failure == Failure::Flush && i == at) break;
                    }
                    events += ";";
                    if (failing && failure == Failure::Flush) {
                        events += "turn " + std::to_string(at) + ";";
                        break;
                    }
                    for (std::uint32_t i : batch) {
                        events += "turn " + std::to_string(i) + ";";
                        if (failing && i == at) break;
                        events += "publish " + std::to_string(i) + ";";
                        published.insert(i);
                    }
                    if (failing) break;
                }
                const Log log = run(shape.sizes, shape.limits, failure, at);
                const std::string where = "failure " + std::to_string(static_cast<int>(failure)) + " at " + std::to_string(at);
                EXPECT_EQ(log.events, events) << where;
                EXPECT_EQ(log.published, published) << where;
                for (std::uint32_t i = 0; i < n; ++i) {
                    EXPECT_EQ(log.discarded.contains(i), i < taken && !published.contains(i)) << where << " member " << i;
                }
            }
        }
    }
}

}  // namespace
}  // namespace pactools

// Extracted members are put in place in batches: each member is restored
// into a temporary file of its own, the members are taken in list order,
// and a batch (up to a number of members, or of bytes) is brought to stable
// storage in one pass and then renamed over its targets in order.  A
// failure replaces nothing more: not the member it concerns, nor the rest
// of its batch; the batches before it stay in place.  This record holds
// the batching alone; the files, their flush and their rename are the
// caller's (extract's are files, the tests' are in memory).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "error.h"

namespace pactools {

// A member restored into its temporary file, not yet in place.  Destroying
// it before it is published discards it.
class PendingMember {
public:
    virtual ~PendingMember() = default;
};

// A batch holds up to `members` members and `bytes` bytes (a larger member
// is a batch of its own); extract sets them.
struct BatchLimits {
    std::size_t members;
    std::uint64_t bytes;
};

// What the batches do with the pending members.
struct BatchActions {
    // Brings `files` (in list order) to stable storage; returns how many
    // did before the first that did not (whose failure goes to `error`).
    std::function<std::size_t(std::span<PendingMember* const> files, Error& error)> flush;
    // Puts one flushed member in place.
    std::function<Error(PendingMember& file)> publish;
    // Member `index`'s turn has come: it is about to be put in place, or it
    // failed (its line is told before its error).
    std::function<void(std::uint32_t index)> turn;
};

class MemberBatches {
public:
    MemberBatches(const BatchLimits& limits, BatchActions actions) : limits_(limits), actions_(std::move(actions)) {}

    // Takes member `index` (the next in list order) of `bytes` bytes,
    // restored into `file`; settles the batch when it is full.  False
    // after a failure (error()).
    bool take(std::uint32_t index, std::uint64_t bytes, std::unique_ptr<PendingMember> file);
    // Member `index` could not be restored: nothing of the batch is put in
    // place.  `told` says whether its turn is told first.
    bool fail(std::uint32_t index, const Error& error, bool told = true);
    // Settles the last batch; false after a failure.
    bool finish();

    const Error& error() const { return error_; }
    bool failed() const { return static_cast<bool>(error_); }

private:
    bool settle();
    void drop();

    BatchLimits limits_;
    BatchActions actions_;
    std::vector<std::uint32_t> members_;
    std::vector<std::unique_ptr<PendingMember>> files_;
    std::uint64_t bytes_ = 0;
    Error error_;
};

}  // namespace pactools

// Compresses the members of an archive on worker threads and hands each
// member's LZSS stream to one consumer in list order, so the archive, and
// every message about it, is the same as with one thread.
//
// Workers take members in list order.  A member's stream is passed on in
// blocks through a queue: a worker that runs ahead of the consumer waits once
// its member holds 4 MiB, or all members together 16 MiB, so memory stays
// bounded whatever the number and sizes of the members.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "error.h"
#include "member_source.h"
#include "previous_archive.h"
#include "ptrvector.h"

namespace pactools {

class CompressionPipeline {
public:
    // Starts streaming the members named `names`, read from `source` (and
    // kept from `previous` where unchanged; may be null), on `threads`
    // workers (0: one per core).  `bytesRead` is told, from the workers, of
    // the member bytes read.
    CompressionPipeline(const PtrVector<std::string>& names, MemberSource& source, const PreviousArchive* previous,
                        unsigned threads, std::function<void(std::uint64_t)> bytesRead);
    ~CompressionPipeline();  // stops the workers, finished or not
    CompressionPipeline(const CompressionPipeline&) = delete;
    CompressionPipeline& operator=(const CompressionPipeline&) = delete;

    // Waits until member `index` is open and gives its size, and whether its
    // previous stream is kept; fails when it could not be opened or is too
    // large (MemberTooLarge).
    Error waitOpened(std::uint32_t index, std::uint64_t& size, bool& reused);

    enum class Next { Block, Finished, Failed };
    // The next piece of member `index`'s stream (in `block`), or the end of
    // it (with the stream's total size in `storedSize`), or a failure while
    // reading it (in `error`: a read error, FileShrank, FileGrew).  Members
    // must be taken in list order.
    Next next(std::uint32_t index, std::vector<std::uint8_t>& block, std::uint64_t& storedSize, Error& error);

private:
    struct Member;
    void stop();  // stops the workers and waits for them
    void work();
    void compress(std::uint32_t index, unsigned encoderThreads);
    // Passes a block on; false when the pipeline is stopping.
    bool deliver(Member& member, std::vector<std::uint8_t>& block);

    const PtrVector<std::string>& names_;
    MemberSource& source_;
    const PreviousArchive* previous_;
    std::function<void(std::uint64_t)> bytesRead_;
    std::vector<std::unique_ptr<Member>> members_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint32_t nextToTake_ = 0;  // guarded by mutex_
    unsigned threads_ = 1;          // workers
    unsigned cores_ = 1;            // the most threads one member is compressed on
    std::uint32_t consuming_ = 0;   // the member the consumer is on; guarded by mutex_
    std::size_t queued_ = 0;        // compressed bytes waiting in all members; guarded by mutex_
    bool stopping_ = false;         // guarded by mutex_
    std::vector<std::vector<std::uint8_t>> spares_;  // written blocks to fill again; guarded by mutex_
    std::vector<std::thread> workers_;
};

}  // namespace pactools

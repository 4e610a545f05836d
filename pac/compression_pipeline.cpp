#include "compression_pipeline.h"

#include <algorithm>

#include "worker_threads.h"
#include "member_stream.h"

namespace pactools {

namespace {

constexpr std::size_t kChunkSize = 1 << 20;           // streams come in pieces of about 1 MiB of input
constexpr std::size_t kQueueLimit = 4 * kChunkSize;   // compressed bytes one member may hold back
constexpr std::size_t kTotalLimit = 16 * kChunkSize;  // and all members together
// Blocks the consumer has written are kept for the workers to fill again:
// fresh memory costs a page fault per 4 KiB.
constexpr std::size_t kSpareBlocks = 8;

}  // namespace

struct CompressionPipeline::Member {
    enum class State { Waiting, Open, Finished, Failed };
    State state = State::Waiting;  // all fields guarded by the pipeline's mutex
    bool opened = false;           // got past opening (false on a Failed member: it never opened)
    bool reused = false;           // the previous archive's stream is kept
    std::uint64_t size = 0;
    std::uint64_t storedSize = 0;
    std::deque<std::vector<std::uint8_t>> blocks;
    std::size_t queued = 0;  // bytes in blocks
    Error error;
};

CompressionPipeline::CompressionPipeline(const PtrVector<std::string>& names, MemberSource& source,
                                         const PreviousArchive* previous, unsigned threads,
                                         std::function<void(std::uint64_t)> bytesRead)
    : names_(names), source_(source), previous_(previous), bytesRead_(std::move(bytesRead)) {
    for (std::uint32_t i = 0; i < names.count; ++i) members_.push_back(std::make_unique<Member>());
    threads = workerThreads(threads);
    threads_ = threads;
    cores_ = workerThreads(0);
    threads = std::min<unsigned>(threads, std::max<std::uint32_t>(1, names.count));
    // A thread that cannot start fails the command as running out of memory
    // does; the workers already started are stopped first, so that no
    // running thread is left behind.
    for (unsigned i = 0; i < threads; ++i) {
        try {
            workers_.emplace_back([this] { work(); });
        } catch (...) {
            stop();
            throw;
        }
    }
}

CompressionPipeline::~CompressionPipeline() {
    stop();
}

void CompressionPipeline::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
}

void CompressionPipeline::work() {
    for (;;) {
        std::uint32_t index = 0;
        unsigned encoderThreads = 1;
        {
            std::lock_guard lock(mutex_);
            if (stopping_ || nextToTake_ >= names_.count) return;
            index = nextToTake_++;
            // With fewer members left than workers, cores would go idle:
            // the last members are compressed on several threads each, but
            // never on more than there are cores to run them.
            const std::uint32_t left = names_.count - index;
            if (left < threads_) encoderThreads = std::clamp(threads_ / left, 1u, cores_);
        }
        compress(index, encoderThreads);
    }
}

bool CompressionPipeline::deliver(Member& member, std::vector<std::uint8_t>& block) {
    std::unique_lock lock(mutex_);
    // A member ahead of the one being consumed waits for room; the one being
    // consumed never does, so the pipeline always moves on.
    changed_.wait(lock, [&] {
        return stopping_ || members_[consuming_].get() == &member ||
               (member.queued + block.size() <= kQueueLimit && queued_ + block.size() <= kTotalLimit);
    });
    if (stopping_) return false;
    member.queued += block.size();
    queued_ += block.size();
    member.blocks.push_back(std::move(block));
    block = {};
    if (!spares_.empty()) {
        block = std::move(spares_.back());
        spares_.pop_back();
    }
    lock.unlock();
    changed_.notify_all();
    return true;
}

void CompressionPipeline::compress(std::uint32_t index, unsigned encoderThreads) {
    Member& member = *members_[index];
    MemberStreamEvents events;
    events.opened = [&](std::uint64_t size, bool reused) {
        {
            std::lock_guard lock(mutex_);
            member.state = Member::State::Open;
            member.opened = true;
            member.size = size;
            member.reused = reused;
        }
        changed_.notify_all();
    };
    events.emit = [&](std::vector<std::uint8_t>& block) { return deliver(member, block); };
    events.bytesRead = bytesRead_;
    std::uint64_t storedSize = 0;
    bool stopped = false;
    Error error = streamMember(source_, names_[index], previous_, events, storedSize, stopped, encoderThreads);
    if (stopped) return;
    {
        std::lock_guard lock(mutex_);
        member.state = error ? Member::State::Failed : Member::State::Finished;
        member.error = std::move(error);
        member.storedSize = storedSize;
    }
    changed_.notify_all();
}

Error CompressionPipeline::waitOpened(std::uint32_t index, std::uint64_t& size, bool& reused) {
    std::unique_lock lock(mutex_);
    consuming_ = index;
    changed_.notify_all();  // a worker of this member may be waiting for room
    Member& member = *members_[index];
    changed_.wait(lock, [&] { return member.state != Member::State::Waiting; });
    if (!member.opened) return member.error;
    size = member.size;
    reused = member.reused;
    return {};
}

CompressionPipeline::Next CompressionPipeline::next(std::uint32_t index, std::vector<std::uint8_t>& block,
                                                    std::uint64_t& storedSize, Error& error) {
    std::unique_lock lock(mutex_);
    // The consumer is done with its last block: a worker fills it next.
    if (block.capacity() > 0 && spares_.size() < kSpareBlocks) {
        block.clear();
        spares_.push_back(std::move(block));
    }
    block = {};
    Member& member = *members_[index];
    changed_.wait(lock, [&] { return !member.blocks.empty() || member.state != Member::State::Open; });
    if (!member.blocks.empty()) {
        block = std::move(member.blocks.front());
        member.blocks.pop_front();
        member.queued -= block.size();
        queued_ -= block.size();
        lock.unlock();
        changed_.notify_all();
        return Next::Block;
    }
    if (member.state == Member::State::Failed) {
        error = member.error;
        return Next::Failed;
    }
    storedSize = member.storedSize;
    return Next::Finished;
}

}  // namespace pactools

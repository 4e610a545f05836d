#include "compression_pipeline.h"

#include <algorithm>

#include "lzss_encoder.h"
#include "pac_format.h"

namespace pactools {

namespace {

constexpr std::size_t kChunkSize = 1 << 20;           // members are read in 1 MiB pieces
constexpr std::size_t kQueueLimit = 4 * kChunkSize;   // compressed bytes one member may hold back
constexpr std::size_t kTotalLimit = 16 * kChunkSize;  // and all members together

}  // namespace

struct CompressionPipeline::Member {
    enum class State { Waiting, Open, Finished, Failed };
    State state = State::Waiting;  // all fields guarded by the pipeline's mutex
    bool opened = false;           // got past opening (false on a Failed member: it never opened)
    std::uint64_t size = 0;
    std::uint64_t storedSize = 0;
    std::deque<std::vector<std::uint8_t>> blocks;
    std::size_t queued = 0;  // bytes in blocks
    Error error;
};

CompressionPipeline::CompressionPipeline(const PtrVector<std::string>& names, MemberSource& source, unsigned threads)
    : names_(names), source_(source) {
    for (std::uint32_t i = 0; i < names.count; ++i) members_.push_back(std::make_unique<Member>());
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = std::min<unsigned>(threads, std::max<std::uint32_t>(1, names.count));
    for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { work(); });
}

CompressionPipeline::~CompressionPipeline() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void CompressionPipeline::work() {
    for (;;) {
        std::uint32_t index = 0;
        {
            std::lock_guard lock(mutex_);
            if (stopping_ || nextToTake_ >= names_.count) return;
            index = nextToTake_++;
        }
        compress(index);
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
    lock.unlock();
    changed_.notify_all();
    return true;
}

void CompressionPipeline::compress(std::uint32_t index) {
    Member& member = *members_[index];
    const std::string& name = names_[index];
    const auto finish = [&](Member::State state, Error error, std::uint64_t storedSize) {
        {
            std::lock_guard lock(mutex_);
            member.state = state;
            member.error = std::move(error);
            member.storedSize = storedSize;
        }
        changed_.notify_all();
    };
    const auto failed = [&](Fault fault) { return finish(Member::State::Failed, fileError(fault, name), 0); };

    std::unique_ptr<MemberFile> file;
    std::uint64_t size = 0;
    Error error = source_.open(name, file);
    if (!error) error = file->size(size);
    if (error) return finish(Member::State::Failed, std::move(error), 0);
    if (size > UINT32_MAX) {
        Error tooLarge{Fault::MemberTooLarge};
        tooLarge.name = name;
        return finish(Member::State::Failed, std::move(tooLarge), 0);
    }
    {
        std::lock_guard lock(mutex_);
        member.state = Member::State::Open;
        member.opened = true;
        member.size = size;
    }
    changed_.notify_all();

    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(size, kChunkSize)));
    auto encoder = std::make_unique<LzssEncoder>();
    std::vector<std::uint8_t> block;
    for (std::uint64_t remaining = size; remaining > 0;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kChunkSize));
        std::size_t got = 0;
        if (Error readError = file->read(std::span(chunk).first(want), got)) {
            return finish(Member::State::Failed, std::move(readError), 0);
        }
        if (got < want) return failed(Fault::FileShrank);
        remaining -= want;
        block.reserve(static_cast<std::size_t>(lzssEncodedBound(want)));
        lzssEncode(*encoder, std::span(chunk).first(want), remaining == 0, block);
        if (!block.empty() && !deliver(member, block)) return;
    }
    std::uint8_t extra = 0;
    std::size_t after = 0;
    if (Error readError = file->read(std::span(&extra, 1), after)) return finish(Member::State::Failed, std::move(readError), 0);
    if (after > 0) return failed(Fault::FileGrew);
    finish(Member::State::Finished, {}, encoder->outCount);
}

Error CompressionPipeline::waitOpened(std::uint32_t index, std::uint64_t& size) {
    std::unique_lock lock(mutex_);
    consuming_ = index;
    changed_.notify_all();  // a worker of this member may be waiting for room
    Member& member = *members_[index];
    changed_.wait(lock, [&] { return member.state != Member::State::Waiting; });
    if (!member.opened) return member.error;
    size = member.size;
    return {};
}

CompressionPipeline::Next CompressionPipeline::next(std::uint32_t index, std::vector<std::uint8_t>& block,
                                                    std::uint64_t& storedSize, Error& error) {
    std::unique_lock lock(mutex_);
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

#include "compression_pipeline.h"

#include <algorithm>

#include "member_stream.h"

namespace pactools {

OrderedWorkLimits compressionLimits(unsigned threads) {
    OrderedWorkLimits limits;
    // Members opened ahead, each holding at least its Opened part.
    limits.items = std::max<std::size_t>(16, 4 * std::size_t{threads});
    limits.itemBytes = 4 * kChunkSize;  // compressed bytes one member may hold back
    limits.bytes = 16 * kChunkSize;     // and all members together
    return limits;
}

void compressMember(const CompressionJob& job, std::size_t index, WorkFeed<StreamPart>& feed) {
    // With fewer members left than threads, cores would go idle: the last
    // members are compressed on several threads each, never on more than
    // there are cores to run them (job.threads is at most the cores).
    const std::size_t left = job.members.count - index;
    const unsigned encoderThreads = left < job.threads ? std::max(1u, job.threads / static_cast<unsigned>(left)) : 1;
    MemberStreamEvents events;
    events.opened = [&](std::uint64_t size, bool reused) {
        StreamPart part;
        part.size = size;
        part.reused = reused;
        feed.deliver(std::move(part));
    };
    events.emit = [&](std::vector<std::uint8_t>& block) {
        if (!feed.reserve(block.size())) return false;
        StreamPart part;
        part.kind = StreamPart::Kind::Block;
        part.block = std::move(block);
        block = {};
        return feed.deliver(std::move(part));
    };
    events.bytesRead = job.bytesRead;
    std::uint64_t storedSize = 0;
    bool stopped = false;
    Error error = streamMember(job.source, job.members[static_cast<std::uint32_t>(index)], job.previous, events,
                               storedSize, stopped, encoderThreads);
    if (stopped) return;
    StreamPart end;
    end.kind = error ? StreamPart::Kind::Failed : StreamPart::Kind::Finished;
    end.size = storedSize;
    end.error = std::move(error);
    feed.deliver(std::move(end));
}

}  // namespace pactools

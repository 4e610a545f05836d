#include "member_stream.h"

#include <algorithm>
#include <memory>

#include "common_faults.h"
#include "large_buffer.h"
#include "lzss_encoder.h"
#include "lzss_parallel_encoder.h"
#include "pac_faults.h"

namespace pactools {

namespace {

// Keeps the previous archive's stream for the member when its file holds
// what that stream decodes to; false when it does not (or can't be told).
// `m.counted` gets the member bytes told to events.bytesRead by the check;
// `m.error` what failed once the stream was taken to be kept.
// The bytes copied are the bytes checked: a stream of up to a chunk is read
// once and copied from memory; a longer one is read again as it is copied
// and checked again on the way, and if the previous archive or the member
// changed in between, the command fails rather than copy what was not
// checked.
// A member on its way into the archive: its file, open, and what became of
// it.
struct Streaming {
    MemberSource& source;
    const PacEntry& member;
    const MemberStreamEvents& events;
    std::unique_ptr<MemberFile> file;
    std::uint64_t size = 0;
    std::uint64_t storedSize = 0;
    bool stopped = false;      // emit() asked to stop
    std::uint64_t counted = 0;  // bytes already told to the progress line by a failed check
    Error error;
};

bool reusePrevious(const PreviousArchive& previous, Streaming& m) {
    const PacEntry& member = m.member;
    const MemberStreamEvents& events = m.events;
    MemberFile& file = *m.file;
    const std::uint64_t size = m.size;
    const auto found = previous.entries.find(member.name);
    if (found == previous.entries.end() || found->second.unpackedSize != size || !previous.reader) return false;
    const PacEntry& entry = found->second;
    ByteSource& reader = *previous.reader;
    RestoreBuffers& buffers = threadRestoreBuffers();
    const auto count = [&](std::uint64_t bytes) {
        m.counted += bytes;
        if (events.bytesRead) events.bytesRead(bytes);
    };
    const bool inMemory = entry.storedSize <= kChunkSize;
    std::vector<std::uint8_t> block;
    const auto keep = [&](std::span<const std::uint8_t> bytes) { block.insert(block.end(), bytes.begin(), bytes.end()); };
    std::function<void(std::span<const std::uint8_t>)> kept;
    if (inMemory) kept = keep;
    if (!holdsSameContent(reader, entry, file, size, buffers, count, kept)) return false;
    events.opened(size, true);
    m.storedSize = entry.storedSize;
    if (inMemory) {
        if (!block.empty() && !events.emit(block)) m.stopped = true;
        return true;
    }
    // Read again and copied in chunks, each only once the check read it.
    m.error = openMember(m.source, member.text, m.file, m.size);
    if (m.error) return true;
    bool emitFailed = false;
    const auto copy = [&](std::span<const std::uint8_t> bytes) {
        keep(bytes);
        if (block.size() >= kChunkSize && !emitFailed) {
            emitFailed = !events.emit(block);
            block.clear();
        }
    };
    if (!holdsSameContent(reader, entry, *m.file, m.size, buffers, nullptr, copy)) {
        m.error = fileError(PacFault::ChangedWhileRead, previous.path);
        m.error.name = member.text;
        return true;
    }
    if (!emitFailed && !block.empty()) emitFailed = !events.emit(block);
    m.stopped = emitFailed;
    return true;
}

}  // namespace

Error openMember(MemberSource& source, const std::string& text, std::unique_ptr<MemberFile>& file, std::uint64_t& size) {
    if (Error error = source.open(text, file)) return error;
    if (Error error = file->size(size)) return error;
    if (size > UINT32_MAX) {
        Error tooLarge(PacFault::MemberTooLarge);
        tooLarge.name = text;
        return tooLarge;
    }
    return {};
}

Error streamMember(MemberSource& source, const PacEntry& member, const PreviousArchive* previous,
                   const MemberStreamEvents& events, std::uint64_t& storedSize, bool& stopped,
                   unsigned encoderThreads) {
    stopped = false;
    const std::string& name = member.text;  // files and messages go by the text
    Streaming m{source, member, events, nullptr, 0, 0, false, 0, {}};
    if (Error error = openMember(source, name, m.file, m.size)) return error;
    if (previous != nullptr) {
        if (reusePrevious(*previous, m)) {
            storedSize = m.storedSize;
            stopped = m.stopped;
            return m.error;
        }
        // Not the same: start over from a fresh look at the file.
        if (Error reopenError = openMember(source, name, m.file, m.size)) return reopenError;
    }
    std::unique_ptr<MemberFile>& file = m.file;
    const std::uint64_t size = m.size;
    std::uint64_t& counted = m.counted;
    events.opened(size, false);

    LargeBuffer<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(size, kChunkSize)));
    // A member of more than one chunk may be split across threads.
    // One encoder record a thread, started afresh for each member (also
    // after a member abandoned halfway): a fresh record's memory costs more
    // than compressing a small member.
    thread_local std::unique_ptr<LzssEncoder> encoder;
    if (!encoder) encoder = std::make_unique<LzssEncoder>();
    lzssRestart(*encoder);
    std::unique_ptr<ParallelLzssEncoder> parallel;
    if (encoderThreads > 1 && size > kChunkSize) parallel = std::make_unique<ParallelLzssEncoder>(encoderThreads);
    std::vector<std::uint8_t> block;
    for (std::uint64_t remaining = size; remaining > 0;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kChunkSize));
        std::size_t got = 0;
        if (Error error = file->read(chunk.first(want), got)) return error;
        if (got < want) return memberError(CommonFault::FileShrank, name);
        const std::size_t recounted = static_cast<std::size_t>(std::min<std::uint64_t>(counted, got));
        counted -= recounted;
        if (events.bytesRead && got > recounted) events.bytesRead(got - recounted);
        remaining -= want;
        block.reserve(static_cast<std::size_t>(lzssEncodedBound(want)));
        if (parallel) parallel->encode(chunk.first(want), remaining == 0, block);
        else lzssEncode(*encoder, chunk.first(want), remaining == 0, block);
        if (!block.empty() && !events.emit(block)) {
            stopped = true;
            return {};
        }
        block.clear();
    }
    std::uint8_t extra = 0;
    std::size_t after = 0;
    if (Error error = file->read(std::span(&extra, 1), after)) return error;
    if (after > 0) return memberError(CommonFault::FileGrew, name);
    storedSize = parallel ? parallel->outCount() : encoder->outCount;
    return {};
}

}  // namespace pactools

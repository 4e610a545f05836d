#include "archive_writer.h"

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "worker_threads.h"
#include "compression_pipeline.h"
#include "member_stream.h"

namespace pactools {

namespace {

Error tooLarge(std::string_view archiveName, const std::string& name) {
    Error error = fileError(Fault::ArchiveTooLarge, std::string(archiveName));
    error.name = name;
    return error;
}

// Appends member `index`'s stream, as the pipeline delivers it, and fills
// its entry.
Error appendMember(CompressionPipeline& pipeline, std::uint32_t index, const std::string& name, ByteSink& sink,
                   std::string_view archiveName, const ArchiveEvents& events, PacEntry& entry) {
    entry.name = name;
    if (sink.position() > UINT32_MAX) return tooLarge(archiveName, name);
    entry.offset = static_cast<std::uint32_t>(sink.position());
    std::uint64_t size = 0;
    bool reused = false;
    if (Error error = pipeline.waitOpened(index, size, reused)) return error;
    entry.unpackedSize = static_cast<std::uint32_t>(size);
    if (events.member) events.member(name, reused);
    std::vector<std::uint8_t> block;
    std::uint64_t storedSize = 0;
    for (;;) {
        Error error;
        const CompressionPipeline::Next next = pipeline.next(index, block, storedSize, error);
        if (next == CompressionPipeline::Next::Failed) return error;
        if (next == CompressionPipeline::Next::Finished) break;
        if (!sink.write(block)) return Error(Fault::WriteFailed);
    }
    if (entry.offset + storedSize > UINT32_MAX) return tooLarge(archiveName, name);
    entry.storedSize = static_cast<std::uint32_t>(storedSize);
    return {};
}

// The same on this thread alone: each member is streamed straight into the
// sink.
Error appendDirectly(MemberSource& source, const PreviousArchive* previous, const std::string& name, ByteSink& sink,
                     std::string_view archiveName, const ArchiveEvents& events, PacEntry& entry) {
    entry.name = name;
    if (sink.position() > UINT32_MAX) return tooLarge(archiveName, name);
    entry.offset = static_cast<std::uint32_t>(sink.position());
    bool sinkFailed = false;
    MemberStreamEvents streamEvents;
    streamEvents.opened = [&](std::uint64_t size, bool reused) {
        entry.unpackedSize = static_cast<std::uint32_t>(size);
        if (events.member) events.member(name, reused);
    };
    streamEvents.emit = [&](std::vector<std::uint8_t>& block) {
        sinkFailed = !sink.write(block);
        return !sinkFailed;
    };
    streamEvents.bytesRead = events.bytesRead;
    std::uint64_t storedSize = 0;
    bool stopped = false;
    if (Error error = streamMember(source, name, previous, streamEvents, storedSize, stopped)) return error;
    if (sinkFailed) return Error(Fault::WriteFailed);
    if (entry.offset + storedSize > UINT32_MAX) return tooLarge(archiveName, name);
    entry.storedSize = static_cast<std::uint32_t>(storedSize);
    return {};
}

}  // namespace

Error writeArchive(const PtrVector<std::string>& names, PacHeader header, MemberSource& source,
                   const PreviousArchive* previous, ByteSink& sink, unsigned threads, std::string_view archiveName,
                   const ArchiveEvents& events) {
    // Every member is opened, and its size looked at, before any is
    // compressed: a missing or unreadable one fails the command at once.
    for (const std::string* name : names) {
        std::unique_ptr<MemberFile> file;
        std::uint64_t size = 0;
        if (Error error = source.open(*name, file)) return error;
        if (Error error = file->size(size)) return error;
        if (size > UINT32_MAX) {
            Error tooLarge(Fault::MemberTooLarge);
            tooLarge.name = *name;
            return tooLarge;
        }
    }
    header.count = names.count;
    std::uint8_t headerBytes[kPacHeaderSize];
    encodeHeader(header, headerBytes);
    std::vector<std::uint8_t> directory(kPacEntrySize * names.count, 0);
    if (!sink.write(headerBytes) || !sink.write(directory)) return Error(Fault::WriteFailed);

    threads = workerThreads(threads);
    std::unique_ptr<CompressionPipeline> pipeline;
    if (threads > 1) pipeline = std::make_unique<CompressionPipeline>(names, source, previous, threads, events.bytesRead);
    PacEntry entry;
    for (std::uint32_t i = 0; i < names.count; ++i) {
        Error error = pipeline ? appendMember(*pipeline, i, names[i], sink, archiveName, events, entry)
                               : appendDirectly(source, previous, names[i], sink, archiveName, events, entry);
        if (error) return error;
        encodeEntry(entry, std::span(directory).subspan(kPacEntrySize * i).first<kPacEntrySize>());
    }
    if (!sink.writeAt(kPacHeaderSize, directory)) return Error(Fault::WriteFailed);
    return {};
}

}  // namespace pactools

#include "archive_writer.h"

#include <functional>
#include <memory>
#include <vector>

#include "common_faults.h"
#include "compression_pipeline.h"
#include "member_stream.h"
#include "pac_faults.h"
#include "worker_threads.h"

namespace pactools {

namespace {

Error tooLarge(std::string_view archiveName, const std::string& name) {
    Error error = fileError(PacFault::ArchiveTooLarge, std::string(archiveName));
    error.name = name;
    return error;
}

// Appends the members' streams in list order, as compressing them gives
// their parts, and fills their entries.
struct Appender {
    const PtrVector<PacEntry>& members;
    ByteSink& sink;
    std::string_view archiveName;
    const ArchiveEvents& events;
    std::vector<std::uint8_t>& directory;
    PacEntry entry = {};
    std::size_t current = SIZE_MAX;  // the member whose parts come
    Error error = {};

    // False, with `error`, when the archive cannot go on.
    bool take(std::size_t index, StreamPart& part) {
        const std::string& name = members[static_cast<std::uint32_t>(index)].text;
        if (index != current) {
            current = index;
            entry = PacEntry();
            entry.name = members[static_cast<std::uint32_t>(index)].name;
            if (sink.position() > UINT32_MAX) return fail(tooLarge(archiveName, name));
            entry.offset = static_cast<std::uint32_t>(sink.position());
        }
        switch (part.kind) {
        case StreamPart::Kind::Opened:
            entry.unpackedSize = static_cast<std::uint32_t>(part.size);
            if (events.member) events.member(name, part.reused);
            return true;
        case StreamPart::Kind::Block:
            return sink.write(part.block) || fail(Error(CommonFault::WriteFailed));
        case StreamPart::Kind::Failed:
            return fail(std::move(part.error));
        case StreamPart::Kind::Finished:
            break;
        }
        if (entry.offset + part.size > UINT32_MAX) return fail(tooLarge(archiveName, name));
        entry.storedSize = static_cast<std::uint32_t>(part.size);
        encodeEntry(entry, std::span(directory).subspan(kPacEntrySize * index).first<kPacEntrySize>());
        return true;
    }

    bool fail(Error why) {
        error = std::move(why);
        return false;
    }
};

}  // namespace

PtrVector<PacEntry> membersNamed(const PtrVector<std::string>& names) {
    PtrVector<PacEntry> members;
    for (const std::string* name : names) {
        auto member = std::make_unique<PacEntry>();
        member->name = *name;
        member->text = *name;
        ptrVectorPush(members, std::move(member));
    }
    return members;
}

Error writeArchive(const ArchiveInputs& in, const ArchiveRun& run, ByteSink& sink) {
    const PtrVector<PacEntry>& members = in.members;
    MemberSource& source = in.source;
    const ArchiveEvents& events = run.events;
    // Every member is opened, and its size looked at, before any is
    // compressed: a missing or unreadable one fails the command at once.
    for (const PacEntry* member : members) {
        std::unique_ptr<MemberFile> file;
        std::uint64_t size = 0;
        if (Error error = openMember(source, member->text, file, size)) return error;
    }
    PacHeader header = in.header;
    header.count = members.count;
    std::uint8_t headerBytes[kPacHeaderSize];
    encodeHeader(header, headerBytes);
    std::vector<std::uint8_t> directory(kPacEntrySize * members.count, 0);
    if (!sink.write(headerBytes) || !sink.write(directory)) return Error(CommonFault::WriteFailed);

    // Members are compressed on worker threads (on this one alone with one
    // thread) and appended here in list order.
    const unsigned threads = workerThreads(run.threads);
    const OrderedWorkLimits limits = run.limits != nullptr ? *run.limits : compressionLimits(threads);
    const CompressionJob job{members, source, in.previous, threads, events.bytesRead};
    Appender appender{members, sink, in.archiveName, events, directory};
    const std::function<void(std::size_t, WorkFeed<StreamPart>&)> work = [&](std::size_t i, WorkFeed<StreamPart>& feed) {
        compressMember(job, i, feed);
    };
    const std::function<bool(std::size_t, StreamPart&)> take = [&](std::size_t i, StreamPart& part) {
        return appender.take(i, part);
    };
    streamInOrder<StreamPart>(members.count, threads, limits, work, take, run.stats);
    if (appender.error) return appender.error;
    if (!sink.writeAt(kPacHeaderSize, directory)) return Error(CommonFault::WriteFailed);
    return {};
}

}  // namespace pactools

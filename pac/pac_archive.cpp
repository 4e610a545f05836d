#include "pac_archive.h"

#include <algorithm>
#include <cstring>

#include "lzss_stream_end.h"
#include "pac_faults.h"

namespace pactools {

Error openPacArchive(ByteSource& reader, const std::string& path, PacArchive& archive) {
    archive.path = path;
    archive.reader = &reader;
    std::uint8_t headerBytes[kPacHeaderSize] = {};
    std::size_t got = 0;
    if (Error error = reader.size(archive.size)) return error;
    if (Error error = reader.readAt(0, headerBytes, got)) return error;
    if (Error error = readPacHeader(std::span(headerBytes).first(got), archive.size, path, archive.header)) return error;
    // The header check made sure the directory lies within the file.
    std::vector<std::uint8_t> directory(kPacEntrySize * static_cast<std::size_t>(archive.header.count));
    if (Error error = reader.readAt(kPacHeaderSize, directory, got)) return error;
    ptrVectorInit(archive.entries, 32, 0);
    return readPacDirectory(archive.header, std::span(directory).first(got), archive.size, path, archive.entries);
}

std::uint64_t unpackedBytes(const PacArchive& archive) {
    std::uint64_t total = 0;
    for (const PacEntry* entry : archive.entries) total += entry->unpackedSize;
    return total;
}

Error restoreArchiveMember(PacArchive& archive, const PacEntry& entry, const RestoredWriter& write,
                           RestoreBuffers& buffers) {
    return restoreArchiveMember(*archive.reader, archive.path, entry, write, buffers);
}

StoredBytes::StoredBytes(ByteSource& archive, const PacEntry& member, bool walking)
    : reader(archive), entry(member), offset(member.offset), walks(walking) {
    lzssStreamEndStart(walk, member.unpackedSize);
}

Error StoredBytes::read(std::span<std::uint8_t> buffer, std::size_t& got) {
    Error error = reader.readAt(offset, buffer, got);
    offset += got;
    if (walks) lzssStreamEndFeed(walk, buffer.first(got));
    return error;
}

Error restoreArchiveMember(ByteSource& reader, const std::string& archivePath, const PacEntry& entry,
                           const RestoredWriter& write, RestoreBuffers& buffers, std::uint64_t* streamEnd) {
    StoredBytes stored(reader, entry, streamEnd != nullptr);
    const auto read = [&](std::span<std::uint8_t> buffer, std::size_t& got) { return stored.read(buffer, got); };
    Error error = restoreMember(entry, read, write, buffers);
    if (error.fault == PacFault::MemberDamaged) error.file = archivePath;
    const LzssStreamEnd& walk = stored.walk;
    if (streamEnd != nullptr) *streamEnd = walk.known && !walk.wrong ? walk.end : entry.storedSize;
    return error;
}

std::vector<long long> overlappingEntries(const PacArchive& archive) {
    std::vector<long long> overlaps(archive.entries.count, -1);
    std::vector<std::uint32_t> byOffset;
    for (std::uint32_t i = 0; i < archive.entries.count; ++i) {
        if (archive.entries[i].storedSize > 0) byOffset.push_back(i);
    }
    std::sort(byOffset.begin(), byOffset.end(), [&](std::uint32_t a, std::uint32_t b) {
        return archive.entries[a].offset != archive.entries[b].offset ? archive.entries[a].offset < archive.entries[b].offset
                                                                      : a < b;
    });
    // Walking by offset, an entry overlaps the one reaching furthest before it.
    std::uint64_t reach = 0;
    long long furthest = -1;
    for (const std::uint32_t i : byOffset) {
        const PacEntry& entry = archive.entries[i];
        if (furthest >= 0 && entry.offset < reach) {
            overlaps[i] = furthest;
            if (overlaps[static_cast<std::size_t>(furthest)] < 0) overlaps[static_cast<std::size_t>(furthest)] = i;
        }
        const std::uint64_t end = static_cast<std::uint64_t>(entry.offset) + entry.storedSize;
        if (end > reach) {
            reach = end;
            furthest = i;
        }
    }
    return overlaps;
}

}  // namespace pactools

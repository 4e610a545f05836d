#include "pac_archive.h"

#include <algorithm>
#include <cstring>

namespace pactools {

Error FileArchiveReader::readAt(std::uint64_t offset, std::span<std::uint8_t> buffer, std::size_t& got) {
    got = 0;
    if (Error error = file_.seek(offset)) return error;
    return file_.read(buffer, got);
}

Error MemoryArchiveReader::size(std::uint64_t& bytes) {
    bytes = bytes_.size();
    return {};
}

Error MemoryArchiveReader::readAt(std::uint64_t offset, std::span<std::uint8_t> buffer, std::size_t& got) {
    got = offset >= bytes_.size() ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), bytes_.size() - offset));
    if (got > 0) std::memcpy(buffer.data(), bytes_.data() + offset, got);
    return {};
}

Error openPacArchive(ArchiveReader& reader, const std::string& path, PacArchive& archive) {
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

Error readerForWorker(ArchiveReader& shared, FileArchiveReader& own, const std::string& path, unsigned threads,
                      ArchiveReader*& reader) {
    reader = &shared;
    if (threads <= 1) return {};
    reader = &own;
    return own.open(path);
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

Error restoreArchiveMember(ArchiveReader& reader, const std::string& archivePath, const PacEntry& entry,
                           const RestoredWriter& write, RestoreBuffers& buffers) {
    std::uint64_t offset = entry.offset;
    const auto read = [&](std::span<std::uint8_t> buffer, std::size_t& got) {
        Error error = reader.readAt(offset, buffer, got);
        offset += got;
        return error;
    };
    Error error = restoreMember(entry, read, write, buffers);
    if (error.fault == Fault::MemberDamaged) error.file = archivePath;
    return error;
}

}  // namespace pactools

#include "pac_archive.h"

#include <vector>

#include "text.h"

namespace pactools {

bool openPacArchive(const std::string& path, std::FILE* out, PacArchive& archive) {
    archive.path = path;
    std::string error;
    if (!archive.file.open(path, error)) {
        say(out, "Can't open %s\n", shown(path).c_str());
        sayReason("pactool", path, error);
        return false;
    }
    std::uint8_t headerBytes[kPacHeaderSize] = {};
    std::int64_t got = 0;
    if (!archive.file.size(archive.size, error) || (got = archive.file.read(headerBytes, error)) < 0) {
        say(out, "Error reading %s: %s\n", shown(path).c_str(), error.c_str());
        return false;
    }
    if (!readPacHeader(std::span(headerBytes).first(static_cast<std::size_t>(got)), archive.size, path, archive.header,
                       error)) {
        say(out, "%s\n", error.c_str());
        return false;
    }
    // The header check made sure the directory lies within the file.
    std::vector<std::uint8_t> directory(kPacEntrySize * static_cast<std::size_t>(archive.header.count));
    got = archive.file.read(directory, error);
    if (got < 0) {
        say(out, "Error reading %s: %s\n", shown(path).c_str(), error.c_str());
        return false;
    }
    ptrVectorInit(archive.entries, 32, 0);
    if (!readPacDirectory(archive.header, std::span(directory).first(static_cast<std::size_t>(got)), archive.size, path,
                          archive.entries, error)) {
        say(out, "%s\n", error.c_str());
        return false;
    }
    return true;
}

RestoreResult restoreArchiveMember(PacArchive& archive, const PacEntry& entry, const RestoredWriter& write,
                                   RestoreBuffers& buffers) {
    RestoreResult result;
    if (!archive.file.seek(entry.offset, result.error)) {
        result.status = RestoreStatus::ReadFailed;
        return result;
    }
    return restoreMember(
        entry, [&archive](std::span<std::uint8_t> buffer, std::string& error) { return archive.file.read(buffer, error); },
        write, buffers);
}

std::string damagedMemberMessage(const PacArchive& archive, const PacEntry& entry, const RestoreResult& result) {
    return shown(archive.path) + ": member " + shown(entry.name) + " is damaged: its data gives " + std::to_string(result.produced) +
           " of its " + std::to_string(entry.unpackedSize) + " bytes";
}

}  // namespace pactools

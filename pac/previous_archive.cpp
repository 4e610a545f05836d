#include "previous_archive.h"

#include <cstring>
#include <span>
#include <vector>

#include "lzss_stream_end.h"

namespace pactools {

bool loadPreviousArchive(const std::string& path, PreviousArchive& previous) {
    auto reader = std::make_unique<InputFile>();
    return !reader->open(path) && loadPreviousArchive(std::move(reader), path, previous);
}

bool loadPreviousArchive(std::unique_ptr<ByteSource> reader, const std::string& path, PreviousArchive& previous) {
    PacArchive archive;
    if (openPacArchive(*reader, path, archive)) return false;
    previous.entries.reserve(archive.entries.count);
    for (const PacEntry* entry : archive.entries) previous.entries.emplace(entry->name, *entry);
    previous.path = path;
    previous.reader = std::move(reader);
    return true;
}

bool holdsSameContent(ByteSource& reader, const PacEntry& entry, MemberFile& file, std::uint64_t size,
                      RestoreBuffers& buffers, const std::function<void(std::uint64_t)>& bytesRead,
                      const std::function<void(std::span<const std::uint8_t>)>& stored) {
    if (entry.unpackedSize != size) return false;
    StoredBytes bytes(reader, entry);
    const LzssStreamEnd& walk = bytes.walk;
    std::vector<std::uint8_t> theirs;
    const auto read = [&](std::span<std::uint8_t> buffer, std::size_t& got) {
        Error error = bytes.read(buffer, got);
        if (stored) stored(buffer.first(got));
        return error;
    };
    // Each piece decoded is compared with as many bytes of the member file.
    const auto compare = [&](std::span<const std::uint8_t> decoded) {
        theirs.resize(decoded.size());
        std::size_t got = 0;
        if (file.read(theirs, got) || got != decoded.size()) return false;
        if (bytesRead) bytesRead(got);
        return std::memcmp(theirs.data(), decoded.data(), got) == 0;
    };
    if (restoreMember(entry, read, compare, buffers)) return false;
    // The stored bytes after the last item the decoder took: the zero
    // filling of its group at most (a longer stream is not the member's).
    const std::uint64_t done = bytes.done();
    if (!walk.known || walk.wrong || walk.end != entry.storedSize || done > entry.storedSize) return false;
    std::uint8_t rest[32];
    if (entry.storedSize - done > sizeof rest) return false;
    std::size_t got = 0;
    const std::size_t want = static_cast<std::size_t>(entry.storedSize - done);
    if (want > 0 && (read(std::span(rest, want), got) || got != want)) return false;
    if (!lzssStreamEndsAt(walk, entry.storedSize)) return false;
    // And the file must end there.
    std::uint8_t extra = 0;
    std::size_t after = 0;
    return !file.read(std::span(&extra, 1), after) && after == 0;
}

}  // namespace pactools

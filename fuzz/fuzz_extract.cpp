// Reads an archive held in memory and restores every member as the extract
// command does, then writes its list file and makefile and reads the list
// back: it must give the same header and names.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "list_file.h"
#include "makefile_writer.h"
#include "member_restore.h"
#include "pac_format.h"

using namespace pactools;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> archive(data, size);
    PacHeader header;
    std::string error;
    if (!readPacHeader(archive.first(std::min<std::size_t>(size, kPacHeaderSize)), size, "fuzz.pac", header, error)) {
        return 0;
    }
    PtrVector<PacEntry> entries;
    ptrVectorInit(entries, 32, 0);
    if (!readPacDirectory(header, archive.subspan(kPacHeaderSize), size, "fuzz.pac", entries, error)) return 0;

    static RestoreBuffers buffers;
    for (const PacEntry* entry : entries) {
        std::size_t position = entry->offset;
        const StoredReader read = [&](std::span<std::uint8_t> buffer, std::string&) -> std::int64_t {
            const std::size_t n = std::min(buffer.size(), size - position);
            std::memcpy(buffer.data(), data + position, n);
            position += n;
            return static_cast<std::int64_t>(n);
        };
        const RestoreResult result = restoreMember(*entry, read, [](std::span<const std::uint8_t>) { return true; }, buffers);
        if (result.produced > entry->unpackedSize) std::abort();
        if (position > static_cast<std::size_t>(entry->offset) + entry->storedSize) std::abort();  // read too far
        if ((result.status == RestoreStatus::Ok) != (result.produced == entry->unpackedSize)) std::abort();
    }

    const std::string list = listText(header, entries, "\n");
    // A makefile, when there is one, holds no character a name could turn into code.
    std::string makefile;
    std::string refusal;
    if (makefileText("fuzz.pac", entries, "\r\n", makefile, refusal) &&
        makefile.find_first_of(";|&'\"`*?!~#") != std::string::npos) {
        std::abort();
    }
    PtrVector<std::string> names;
    PacHeader reread;
    if (!readList(list, names, reread, error)) std::abort();
    if (reread.headerByte != header.headerByte || reread.headerWord != header.headerWord) std::abort();
    if (names.count != entries.count) std::abort();
    for (std::uint32_t i = 0; i < names.count; ++i) {
        if (names[i] != entries[i].name) std::abort();
    }
    return 0;
}

// Reads an archive held in memory through the code extract runs and restores
// every member; when its names pass extract's checks (read as CP932 when the
// header byte is odd), writes its list file and makefile and reads the list
// back: it must give the same header, code page and names.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "list_file.h"
#include "makefile_lists.h"
#include "makefile_writer.h"
#include "member_names.h"
#include "name_reading.h"
#include "pac_archive.h"
#include "pac_faults.h"

using namespace pactools;

namespace {

// Remembers how far into the file a member's reads went.
class WatchedReader : public MemoryBytes {
public:
    using MemoryBytes::MemoryBytes;
    Error readAt(std::uint64_t offset, std::span<std::uint8_t> buffer, std::size_t& got) const override {
        Error error = MemoryBytes::readAt(offset, buffer, got);
        furthest = std::max(furthest, offset + got);
        return error;
    }
    mutable std::uint64_t furthest = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WatchedReader reader(std::span<const std::uint8_t>(data, size));
    PacArchive archive;
    if (openPacArchive(reader, "fuzz.pac", archive)) return 0;

    static RestoreBuffers buffers;
    for (const PacEntry* entry : archive.entries) {
        reader.furthest = 0;
        std::uint64_t produced = 0;
        const Error error = restoreArchiveMember(archive, *entry, [&](std::span<const std::uint8_t> bytes) {
            produced += bytes.size();
            return true;
        }, buffers);
        if (produced > entry->unpackedSize) std::abort();
        if (reader.furthest > static_cast<std::uint64_t>(entry->offset) + entry->storedSize) std::abort();  // read too far
        if (!error != (produced == entry->unpackedSize)) std::abort();
        if (error && (error.fault != PacFault::MemberDamaged || error.at != produced)) std::abort();
    }

    NameReading reading;
    if (archive.header.headerByte & 1) reading.codePage = findCodePage("CP932");
    if (readNameTexts(reading, archive.entries, "fuzz.pac")) return 0;
    std::vector<std::string_view> texts;
    for (const PacEntry* entry : archive.entries) texts.push_back(entry->text);
    if (checkMemberNames(texts, "fuzz.pac", "fuzz.pac", "extract")) return 0;

    const std::string list = listText(archive.header, archive.entries, "\n", reading.codePage);
    // A makefile, when there is one, lists no character a name could turn into code.
    std::string makefile;
    std::vector<Error> notes;
    if (!makefileText("fuzz.pac", archive.entries, "\r\n", makefile, notes) && !makefileListsAreInert(makefile)) {
        std::abort();
    }
    PtrVector<std::string> names;
    PacHeader reread;
    std::optional<CodePage> codePage;
    if (readList(list, names, reread, &codePage)) std::abort();
    if (codePage.has_value() != reading.codePage.has_value()) std::abort();
    if (reread.headerByte != archive.header.headerByte || reread.headerWord != archive.header.headerWord) std::abort();
    if (names.count != archive.entries.count) std::abort();
    for (std::uint32_t i = 0; i < names.count; ++i) {
        if (names[i] != archive.entries[i].text) std::abort();
    }
    return 0;
}

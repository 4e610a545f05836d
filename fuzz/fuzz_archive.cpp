// Builds an archive from members held in memory, through the code the
// archive command runs, on one and on several threads: both archives must be
// the same, and reading it back must give every member's bytes.  Building it
// again after a change, keeping the unchanged members' streams, must give
// what compressing everything gives.  The input's
// first byte sets the member count; the rest is cut into that many members.
#include <cstdint>
#include <cstdlib>

#include "archive_writer.h"
#include "pac_archive.h"

using namespace pactools;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t count = 1 + data[0] % 8;
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    MemoryMemberSource source;
    PtrVector<std::string> names;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t begin = rest.size() * i / count;
        const std::size_t end = rest.size() * (i + 1) / count;
        const std::string name = "m" + std::to_string(i);
        source.members[name].assign(rest.begin() + static_cast<std::ptrdiff_t>(begin),
                                    rest.begin() + static_cast<std::ptrdiff_t>(end));
        ptrVectorPush(names, std::make_unique<std::string>(name));
    }
    MemorySink one;
    MemorySink many;
    if (writeArchive(names, PacHeader{data[0], 0, 7}, source, nullptr, one, 1, "fuzz.pac", {})) std::abort();
    if (writeArchive(names, PacHeader{data[0], 0, 7}, source, nullptr, many, 3, "fuzz.pac", {})) std::abort();
    if (one.bytes != many.bytes) std::abort();
    // Again, keeping what the first archive holds, after a change to one member.
    PreviousArchive previous;
    {
        MemoryArchiveReader reader(one.bytes);
        PacArchive first;
        if (openPacArchive(reader, "fuzz.pac", first)) std::abort();
        loadPreviousEntries(first, previous);
        previous.reader = std::make_unique<MemoryArchiveReader>(one.bytes);
    }
    auto& changed = source.members["m0"];
    if (!changed.empty()) changed[changed.size() / 2] ^= 0x55;
    MemorySink fresh;
    MemorySink reusing;
    if (writeArchive(names, PacHeader{data[0], 0, 7}, source, nullptr, fresh, 1, "fuzz.pac", {})) std::abort();
    if (writeArchive(names, PacHeader{data[0], 0, 7}, source, &previous, reusing, 2, "fuzz.pac", {})) std::abort();
    if (fresh.bytes != reusing.bytes) std::abort();
    if (!changed.empty()) changed[changed.size() / 2] ^= 0x55;

    MemoryArchiveReader reader(one.bytes);
    PacArchive archive;
    if (openPacArchive(reader, "fuzz.pac", archive)) std::abort();
    if (archive.entries.count != count) std::abort();
    static RestoreBuffers buffers;
    for (const PacEntry* entry : archive.entries) {
        std::vector<std::uint8_t> restored;
        if (restoreArchiveMember(archive, *entry, [&](std::span<const std::uint8_t> bytes) {
                restored.insert(restored.end(), bytes.begin(), bytes.end());
                return true;
            }, buffers)) {
            std::abort();
        }
        if (restored != source.members[entry->name]) std::abort();
    }
    return 0;
}

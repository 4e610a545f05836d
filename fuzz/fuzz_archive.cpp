// Builds an archive from members held in memory, through the code the
// archive command runs on one thread, and reads it back: every member must
// come back, and its stored stream must be exactly the encoder's stream of
// it.  Building it again after a change, keeping the unchanged members'
// streams, must give what compressing everything gives.  The input's first
// byte sets the member count; the rest is cut into that many members.
// (The same on several threads is fuzz_threads's work: this target starts
// no thread, so that it runs thousands of inputs a second.)
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "archive_writer.h"
#include "lzss_encoder.h"
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
    if (writeArchive(names, PacHeader{data[0], 0, 7}, source, nullptr, one, 1, "fuzz.pac", {})) std::abort();
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
    if (writeArchive(names, PacHeader{data[0], 0, 7}, source, &previous, reusing, 1, "fuzz.pac", {})) std::abort();
    if (fresh.bytes != reusing.bytes) std::abort();
    if (!changed.empty()) changed[changed.size() / 2] ^= 0x55;

    MemoryArchiveReader reader(one.bytes);
    PacArchive archive;
    if (openPacArchive(reader, "fuzz.pac", archive)) std::abort();
    if (archive.entries.count != count) std::abort();
    static RestoreBuffers buffers;
    static LzssEncoder encoder;
    for (const PacEntry* entry : archive.entries) {
        std::vector<std::uint8_t> restored;
        if (restoreArchiveMember(archive, *entry, [&](std::span<const std::uint8_t> bytes) {
                restored.insert(restored.end(), bytes.begin(), bytes.end());
                return true;
            }, buffers)) {
            std::abort();
        }
        const std::vector<std::uint8_t>& member = source.members[entry->name];
        if (restored != member) std::abort();
        std::vector<std::uint8_t> stream;
        lzssEncode(encoder, member, true, stream);
        if (stream.size() != entry->storedSize ||
            !std::equal(stream.begin(), stream.end(), one.bytes.begin() + entry->offset)) {
            std::abort();
        }
    }
    return 0;
}

// Builds archives from members held in memory, through the code the archive
// command runs on one thread, and checks one of three things an input (the
// second byte chooses, so the fuzzer reaches all three):
//   0. read back, every member comes back, and its stored stream is exactly
//      the encoder's stream of it;
//   1. after a change to one member, building again while keeping the
//      unchanged members' streams gives what compressing everything gives;
//   2. with one byte of the previous archive damaged (position and value from
//      the input), every member still comes back, and each stream is either
//      the encoder's or the damaged archive's stream of that member, copied
//      whole (a damaged stream that still decodes to the member's bytes is
//      kept, as a foreign archive's would be).
// The first byte sets the member count; the rest is cut into that many
// members.  (The same on several threads is fuzz_threads's work: this
// target starts no thread, so that it runs thousands of inputs a second.)
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "archive_writer.h"
#include "lzss_encoder.h"
#include "pac_archive.h"

using namespace pactools;

namespace {

std::vector<std::uint8_t> build(const PtrVector<std::string>& names, PacHeader header, MemoryMemberSource& source,
                                const PreviousArchive* previous) {
    MemorySink sink;
    const PtrVector<PacEntry> members = membersNamed(names);
    if (writeArchive({members, header, source, previous, "fuzz.pac"}, {1, {}, nullptr, nullptr}, sink)) std::abort();
    return std::move(sink.bytes);
}

// The archive as the next build's previous archive; false when the bytes
// do not open as an archive at all.
bool asPrevious(const std::vector<std::uint8_t>& bytes, PreviousArchive& previous) {
    return loadPreviousArchive(std::make_unique<MemoryBytes>(bytes), "previous.pac", previous);
}

// `previous`, when given, holds the streams that may be kept instead of the
// encoder's.
void checkReadBack(const std::vector<std::uint8_t>& bytes, MemoryMemberSource& source, std::size_t count,
                   const std::vector<std::uint8_t>* previousBytes = nullptr, const PreviousArchive* previous = nullptr) {
    MemoryBytes reader(bytes);
    PacArchive archive;
    if (openPacArchive(reader, "fuzz.pac", archive)) std::abort();
    if (archive.entries.count != count) std::abort();
    static RestoreBuffers buffers;
    static const auto encoder = std::make_unique<LzssEncoder>();
    for (const PacEntry* entry : archive.entries) {
        std::vector<std::uint8_t> restored;
        if (restoreArchiveMember(archive, *entry, [&](std::span<const std::uint8_t> piece) {
                restored.insert(restored.end(), piece.begin(), piece.end());
                return true;
            }, buffers)) {
            std::abort();
        }
        const std::vector<std::uint8_t>& member = source.members[entry->name];
        if (restored != member) std::abort();
        std::vector<std::uint8_t> stream;
        lzssEncode(*encoder, member, true, stream);
        const auto stored = std::span(bytes).subspan(entry->offset, entry->storedSize);
        if (std::ranges::equal(stream, stored)) continue;
        if (previous == nullptr) std::abort();
        const auto kept = previous->entries.find(entry->name);
        if (kept == previous->entries.end() ||
            !std::ranges::equal(std::span(*previousBytes).subspan(kept->second.offset, kept->second.storedSize), stored)) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t count = 1 + data[0] % 8;
    const PacHeader header{data[0], 0, 7};
    const std::span<const std::uint8_t> rest(data + 2, size - 2);
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
    const std::vector<std::uint8_t> one = build(names, header, source, nullptr);

    switch (data[1] % 3) {
    case 0: checkReadBack(one, source, count); break;
    case 1: {
        PreviousArchive previous;
        if (!asPrevious(one, previous)) std::abort();
        auto& changed = source.members["m0"];
        if (!changed.empty()) changed[changed.size() / 2] ^= 0x55;
        if (build(names, header, source, &previous) != build(names, header, source, nullptr)) std::abort();
        break;
    }
    default: {
        std::vector<std::uint8_t> damaged = one;
        const std::size_t at = (rest.empty() ? 0 : rest[0] * 131u + rest.back()) % damaged.size();
        damaged[at] ^= static_cast<std::uint8_t>(data[1] | 1);
        PreviousArchive previous;
        if (asPrevious(damaged, previous)) checkReadBack(build(names, header, source, &previous), source, count, &damaged, &previous);
    }
    }
    return 0;
}

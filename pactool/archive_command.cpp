#include "archive_command.h"

#include <memory>
#include <vector>

#include "file_io.h"
#include "list_file.h"
#include "lzss_encoder.h"
#include "pac_format.h"
#include "text.h"

namespace pactools {

namespace {

constexpr std::size_t kChunkSize = 1 << 20;  // members pass through in 1 MiB pieces

struct ArchiveWork {
    ArchiveWork(const std::string& path, std::FILE* stream) : pacPath(path), out(stream) {}
    const std::string& pacPath;
    std::FILE* out;
    OutputFile archive;
    std::vector<std::uint8_t> chunk = std::vector<std::uint8_t>(kChunkSize);
    std::vector<std::uint8_t> packed;
    std::unique_ptr<LzssEncoder> encoder = std::make_unique<LzssEncoder>();
};

bool writeFailed(ArchiveWork& work) {
    say(work.out, "Error writing %s: %s\n", work.pacPath.c_str(), work.archive.error().c_str());
    return false;
}

// Appends one member's compressed stream to the archive and fills its entry.
bool compressMember(ArchiveWork& work, const std::string& name, PacEntry& entry) {
    *work.encoder = LzssEncoder{};
    entry.name = name;
    if (work.archive.position() > UINT32_MAX) {
        say(work.out, "%s: the archive would reach 4 GiB at member %s\n", work.pacPath.c_str(), name.c_str());
        return false;
    }
    entry.offset = static_cast<std::uint32_t>(work.archive.position());

    InputFile member;
    std::string error;
    std::uint64_t size = 0;
    if (!member.open(memberFilePath(name), error)) {
        say(work.out, "Can't open %s\n", name.c_str());
        return false;
    }
    if (!member.size(size, error)) {
        say(work.out, "Error reading %s: %s\n", name.c_str(), error.c_str());
        return false;
    }
    if (size > UINT32_MAX) {
        say(work.out, "%s: member is 4 GiB or larger, which the archive cannot hold\n", name.c_str());
        return false;
    }
    entry.unpackedSize = static_cast<std::uint32_t>(size);
    say(work.out, "Compressing %s\n", name.c_str());

    for (std::uint64_t remaining = size; remaining > 0;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kChunkSize));
        const std::int64_t got = member.read(std::span(work.chunk).first(want), error);
        if (got < 0) {
            say(work.out, "Error reading %s: %s\n", name.c_str(), error.c_str());
            return false;
        }
        if (static_cast<std::size_t>(got) < want) {
            say(work.out, "Error reading %s: the file shrank while it was read\n", name.c_str());
            return false;
        }
        remaining -= want;
        work.packed.clear();
        lzssEncode(*work.encoder, std::span(work.chunk).first(want), remaining == 0, work.packed);
        if (!work.archive.write(work.packed)) return writeFailed(work);
    }
    std::uint8_t extra = 0;
    const std::int64_t after = member.read(std::span(&extra, 1), error);
    if (after != 0) {
        if (after < 0) say(work.out, "Error reading %s: %s\n", name.c_str(), error.c_str());
        else say(work.out, "Error reading %s: the file grew while it was read\n", name.c_str());
        return false;
    }
    if (entry.offset + work.encoder->outCount > UINT32_MAX) {
        say(work.out, "%s: the archive would reach 4 GiB at member %s\n", work.pacPath.c_str(), name.c_str());
        return false;
    }
    entry.storedSize = static_cast<std::uint32_t>(work.encoder->outCount);
    return true;
}

}  // namespace

bool archiveCommand(const std::string& pacPath, std::FILE* out) {
    const std::string listName = listFileName(pacPath);
    InputFile listFile;
    std::string error;
    std::vector<std::uint8_t> listBytes;
    if (!listFile.open(listName, error)) {
        say(out, "Cant open list file: %s\n", listName.c_str());
        return false;
    }
    if (!readRest(listFile, listBytes, error)) {
        say(out, "Error reading %s: %s\n", listName.c_str(), error.c_str());
        return false;
    }

    PtrVector<std::string> names;
    ptrVectorInit(names, 32, 32);
    PacHeader header;
    if (!readList(std::string_view(reinterpret_cast<const char*>(listBytes.data()), listBytes.size()), names, header,
                  error)) {
        say(out, "%s\n", error.c_str());
        return false;
    }
    // Check every name before anything is written.
    bool namesFit = true;
    for (const std::string* name : names) {
        if (name->size() > kPacMaxNameLength) {
            say(out, "%s: name longer than %u bytes: %s\n", listName.c_str(), static_cast<unsigned>(kPacMaxNameLength),
                name->c_str());
            namesFit = false;
        }
    }
    if (!namesFit) return false;
    if (pacDataStart(names.count) > UINT32_MAX) {
        say(out, "%s: too many members for one archive\n", listName.c_str());
        return false;
    }

    ArchiveWork work{pacPath, out};
    if (!work.archive.create(pacPath, error)) {
        say(out, "Can't open / create %s\n", pacPath.c_str());
        return false;
    }
    header.count = names.count;
    std::uint8_t headerBytes[kPacHeaderSize];
    encodeHeader(header, headerBytes);
    std::vector<std::uint8_t> directory(kPacEntrySize * names.count, 0);
    if (!work.archive.write(headerBytes) || !work.archive.write(directory)) return writeFailed(work);

    PacEntry entry;
    for (std::uint32_t i = 0; i < names.count; ++i) {
        if (!compressMember(work, names[i], entry)) return false;
        encodeEntry(entry, std::span(directory).subspan(kPacEntrySize * i).first<kPacEntrySize>());
    }
    if (!work.archive.writeAt(kPacHeaderSize, directory)) return writeFailed(work);
    if (!work.archive.commit(error)) {
        say(out, "Error writing %s: %s\n", pacPath.c_str(), error.c_str());
        return false;
    }
    return true;
}

}  // namespace pactools

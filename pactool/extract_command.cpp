#include "extract_command.h"

#include <memory>
#include <vector>

#include "file_io.h"
#include "list_file.h"
#include "lzss_decoder.h"
#include "makefile_writer.h"
#include "pac_format.h"
#include "text.h"

namespace pactools {

namespace {

constexpr std::size_t kChunkSize = 1 << 20;  // members pass through in 1 MiB pieces

struct ExtractWork {
    ExtractWork(const std::string& path, std::FILE* stream) : pacPath(path), out(stream) {}
    const std::string& pacPath;
    std::FILE* out;
    InputFile archive;
    std::vector<std::uint8_t> input = std::vector<std::uint8_t>(kChunkSize);
    std::vector<std::uint8_t> output = std::vector<std::uint8_t>(kChunkSize);
    std::unique_ptr<LzssDecoder> decoder = std::make_unique<LzssDecoder>();
};

// Restores one member into the file of its name, reading no more than its
// stored size.
bool extractMember(ExtractWork& work, const PacEntry& entry) {
    say(work.out, "Extracting %s\n", entry.name.c_str());
    std::string error;
    OutputFile file;
    if (!file.create(memberFilePath(entry.name), error)) {
        say(work.out, "Can't open / create\t%s\n", entry.name.c_str());
        return false;
    }
    if (!work.archive.seek(entry.offset, error)) {
        say(work.out, "Error reading %s: %s\n", work.pacPath.c_str(), error.c_str());
        return false;
    }
    *work.decoder = LzssDecoder{};
    std::uint64_t unread = entry.storedSize;  // stored bytes not yet read
    std::uint64_t missing = entry.unpackedSize;
    std::span<const std::uint8_t> pending;  // read but not yet decoded
    while (missing > 0) {
        if (pending.empty() && unread > 0) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(unread, kChunkSize));
            const std::int64_t got = work.archive.read(std::span(work.input).first(want), error);
            if (got < 0) {
                say(work.out, "Error reading %s: %s\n", work.pacPath.c_str(), error.c_str());
                return false;
            }
            if (got == 0) break;  // the archive shrank under us
            unread -= static_cast<std::uint64_t>(got);
            pending = std::span<const std::uint8_t>(work.input).first(static_cast<std::size_t>(got));
        }
        const std::size_t room = static_cast<std::size_t>(std::min<std::uint64_t>(missing, kChunkSize));
        const LzssDecodeResult result = lzssDecode(*work.decoder, pending, std::span(work.output).first(room));
        pending = pending.subspan(result.consumed);
        missing -= result.produced;
        if (!file.write(std::span(work.output).first(result.produced))) break;
        if (result.produced == 0 && pending.empty() && unread == 0) break;  // the stream ended early
    }
    if (!file.error().empty()) {
        say(work.out, "Error writing %s: %s\n", entry.name.c_str(), file.error().c_str());
        return false;
    }
    if (missing > 0) {
        say(work.out, "%s: member %s is damaged: its data gives %llu of its %lu bytes\n", work.pacPath.c_str(),
            entry.name.c_str(), static_cast<unsigned long long>(entry.unpackedSize - missing),
            static_cast<unsigned long>(entry.unpackedSize));
        return false;
    }
    if (!file.commit(error)) {
        say(work.out, "Error writing %s: %s\n", entry.name.c_str(), error.c_str());
        return false;
    }
    return true;
}

// Writes `text` to `path` as one complete file.
bool writeTextFile(const std::string& path, const std::string& text, std::string& error, bool& created) {
    OutputFile file;
    created = file.create(path, error);
    return created && file.write(text) && file.commit(error);
}

}  // namespace

bool extractCommand(const std::string& pacPath, std::FILE* out) {
    ExtractWork work{pacPath, out};
    std::string error;
    std::uint64_t fileSize = 0;
    if (!work.archive.open(pacPath, error)) {
        say(out, "Can't open %s\n", pacPath.c_str());
        return false;
    }
    // Check the header and the whole directory before writing anything.
    std::uint8_t headerBytes[kPacHeaderSize] = {};
    std::int64_t got = 0;
    if (!work.archive.size(fileSize, error) || (got = work.archive.read(headerBytes, error)) < 0) {
        say(out, "Error reading %s: %s\n", pacPath.c_str(), error.c_str());
        return false;
    }
    PacHeader header;
    if (!readPacHeader(std::span(headerBytes).first(static_cast<std::size_t>(got)), fileSize, pacPath, header, error)) {
        say(out, "%s\n", error.c_str());
        return false;
    }
    std::vector<std::uint8_t> directory(kPacEntrySize * static_cast<std::size_t>(header.count));
    got = work.archive.read(directory, error);
    if (got < 0) {
        say(out, "Error reading %s: %s\n", pacPath.c_str(), error.c_str());
        return false;
    }
    PtrVector<PacEntry> entries;
    ptrVectorInit(entries, 32, 0);
    if (!readPacDirectory(header, std::span(directory).first(static_cast<std::size_t>(got)), fileSize, pacPath, entries,
                          error)) {
        say(out, "%s\n", error.c_str());
        return false;
    }

    for (const PacEntry* entry : entries) {
        if (!extractMember(work, *entry)) return false;
    }

    const std::string listName = listFileName(pacPath);
    bool created = false;
    if (!writeTextFile(listName, listText(header, entries, kNativeLineEnd), error, created)) {
        if (created) say(out, "Error writing %s: %s\n", listName.c_str(), error.c_str());
        else say(out, "Can't open / create %s\n", listName.c_str());
        return false;
    }
    // A makefile that can't be written is passed over in silence: the members
    // and the list file are what the command is for.
    writeTextFile("makefile", makefileText(pacPath, entries, kNativeLineEnd), error, created);
    return true;
}

}  // namespace pactools

#include "extract_command.h"

#include <memory>
#include <vector>

#include "file_io.h"
#include "list_file.h"
#include "makefile_writer.h"
#include "member_restore.h"
#include "pac_format.h"
#include "text.h"

namespace pactools {

namespace {

struct ExtractWork {
    ExtractWork(const std::string& path, std::FILE* stream) : pacPath(path), out(stream) {}
    const std::string& pacPath;
    std::FILE* out;
    InputFile archive;
    RestoreBuffers buffers;
};

// Restores one member into the file of its name.
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
    const RestoreResult result = restoreMember(
        entry, [&work](std::span<std::uint8_t> buffer, std::string& e) { return work.archive.read(buffer, e); },
        [&file](std::span<const std::uint8_t> bytes) { return file.write(bytes); }, work.buffers);
    switch (result.status) {
    case RestoreStatus::Ok:
        break;
    case RestoreStatus::ReadFailed:
        say(work.out, "Error reading %s: %s\n", work.pacPath.c_str(), result.error.c_str());
        return false;
    case RestoreStatus::WriteFailed:
        say(work.out, "Error writing %s: %s\n", entry.name.c_str(), file.error().c_str());
        return false;
    case RestoreStatus::Short:
        say(work.out, "%s: member %s is damaged: its data gives %llu of its %lu bytes\n", work.pacPath.c_str(),
            entry.name.c_str(), static_cast<unsigned long long>(result.produced),
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

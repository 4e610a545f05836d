#include "archive_command.h"

#include <vector>

#include "compression_pipeline.h"
#include "file_io.h"
#include "list_file.h"
#include "member_names.h"
#include "pac_format.h"
#include "text.h"

namespace pactools {

namespace {

bool writeFailed(const std::string& pacPath, const OutputFile& archive, std::FILE* out) {
    say(out, "Error writing %s: %s\n", shown(pacPath).c_str(), archive.error().c_str());
    return false;
}

// Appends member `index`'s compressed stream, as the pipeline delivers it,
// to the archive and fills its entry.
bool appendMember(CompressionPipeline& pipeline, std::uint32_t index, const std::string& name, const std::string& pacPath,
                  OutputFile& archive, PacEntry& entry, std::FILE* out) {
    entry.name = name;
    if (archive.position() > UINT32_MAX) {
        say(out, "%s: the archive would reach 4 GiB at member %s\n", shown(pacPath).c_str(), shown(name).c_str());
        return false;
    }
    entry.offset = static_cast<std::uint32_t>(archive.position());
    std::uint64_t size = 0;
    std::string message;
    std::string reason;
    if (!pipeline.waitOpened(index, size, message, reason)) {
        say(out, "%s\n", message.c_str());
        if (!reason.empty()) sayReason("pactool", name, reason);
        return false;
    }
    entry.unpackedSize = static_cast<std::uint32_t>(size);
    say(out, "Compressing %s\n", shown(name).c_str());
    std::vector<std::uint8_t> block;
    std::uint64_t storedSize = 0;
    for (;;) {
        switch (pipeline.next(index, block, storedSize, message)) {
        case CompressionPipeline::Next::Block:
            if (!archive.write(block)) return writeFailed(pacPath, archive, out);
            continue;
        case CompressionPipeline::Next::Failed:
            say(out, "%s\n", message.c_str());
            return false;
        case CompressionPipeline::Next::Finished:
            break;
        }
        break;
    }
    if (entry.offset + storedSize > UINT32_MAX) {
        say(out, "%s: the archive would reach 4 GiB at member %s\n", shown(pacPath).c_str(), shown(name).c_str());
        return false;
    }
    entry.storedSize = static_cast<std::uint32_t>(storedSize);
    return true;
}

}  // namespace

bool archiveCommand(const std::string& pacPath, std::FILE* out, unsigned threads) {
    const std::string listName = listFileName(pacPath);
    InputFile listFile;
    std::string error;
    std::vector<std::uint8_t> listBytes;
    if (!listFile.open(listName, error)) {
        say(out, "Cant open list file: %s\n", shown(listName).c_str());
        sayReason("pactool", listName, error);
        return false;
    }
    if (!readRest(listFile, listBytes, error)) {
        say(out, "Error reading %s: %s\n", shown(listName).c_str(), error.c_str());
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
            say(out, "%s: name longer than %u bytes: %s\n", shown(listName).c_str(),
                static_cast<unsigned>(kPacMaxNameLength), shown(*name).c_str());
            namesFit = false;
        }
    }
    if (!namesFit) return false;
    if (pacDataStart(names.count) > UINT32_MAX) {
        say(out, "%s: too many members for one archive\n", shown(listName).c_str());
        return false;
    }
    // Every archive written here can be extracted again: the names extract
    // would refuse are refused now, before anything is written.
    std::vector<std::string_view> views;
    views.reserve(names.count);
    for (const std::string* name : names) views.push_back(*name);
    if (!checkMemberNames(views, pacPath, shown(listName), "archive", error)) {
        say(out, "%s\n", error.c_str());
        return false;
    }

    OutputFile archive;
    if (!archive.create(pacPath, error)) {
        say(out, "Can't open / create %s\n", shown(pacPath).c_str());
        sayReason("pactool", pacPath, error);
        return false;
    }
    header.count = names.count;
    std::uint8_t headerBytes[kPacHeaderSize];
    encodeHeader(header, headerBytes);
    std::vector<std::uint8_t> directory(kPacEntrySize * names.count, 0);
    if (!archive.write(headerBytes) || !archive.write(directory)) return writeFailed(pacPath, archive, out);

    // Members are compressed on worker threads and appended here in list
    // order, so the archive and the messages are those of a one-thread run.
    CompressionPipeline pipeline(names, threads);
    PacEntry entry;
    for (std::uint32_t i = 0; i < names.count; ++i) {
        if (!appendMember(pipeline, i, names[i], pacPath, archive, entry, out)) return false;
        encodeEntry(entry, std::span(directory).subspan(kPacEntrySize * i).first<kPacEntrySize>());
    }
    if (!archive.writeAt(kPacHeaderSize, directory)) return writeFailed(pacPath, archive, out);
    if (!archive.commit(error)) {
        say(out, "Error writing %s: %s\n", shown(pacPath).c_str(), error.c_str());
        return false;
    }
    return true;
}

}  // namespace pactools

#include "archive_command.h"

#include <vector>

#include "archive_writer.h"
#include "file_io.h"
#include "list_file.h"
#include "member_names.h"
#include "messages.h"
#include "pac_format.h"
#include "platform.h"
#include "previous_archive.h"
#include "progress_line.h"
#include "text.h"

namespace pactools {

namespace {

// Reads and checks the list file: every name is checked before anything is
// written, so every archive written here can be extracted again.
Error readCheckedList(const std::string& pacPath, PtrVector<std::string>& names, PacHeader& header) {
    const std::string listName = listFileName(pacPath);
    InputFile listFile;
    std::vector<std::uint8_t> listBytes;
    if (Error error = listFile.open(listName)) return error.as(Fault::CannotOpenList);
    if (Error error = readRest(listFile, listBytes)) return error;
    if (Error error = readList(std::string_view(reinterpret_cast<const char*>(listBytes.data()), listBytes.size()),
                               names, header)) {
        error.file = listName;
        return error;
    }
    for (const std::string* name : names) {
        if (name->size() > kPacMaxNameLength) {
            Error error = fileError(Fault::NameTooLong, listName);
            error.name = *name;
            error.at = kPacMaxNameLength;
            return error;
        }
    }
    if (pacDataStart(names.count) > UINT32_MAX) return fileError(Fault::TooManyMembers, listName);
    std::vector<std::string_view> views;
    views.reserve(names.count);
    for (const std::string* name : names) views.push_back(*name);
    return checkMemberNames(views, pacPath, listName, "archive");
}

// The members' total size, for the progress line (what can't be looked at
// counts as nothing).
std::uint64_t memberBytes(const PtrVector<std::string>& names) {
    std::uint64_t total = 0;
    for (const std::string* name : names) {
        platform::FileStatus status;
        int reason = 0;
        if (platform::statPath(memberFilePath(*name), status, reason)) total += status.size;
    }
    return total;
}

}  // namespace

bool archiveCommand(const std::string& pacPath, std::FILE* out, const CommandOptions& options) {
    PtrVector<std::string> names;
    ptrVectorInit(names, 32, 32);
    PacHeader header;
    Error error = readCheckedList(pacPath, names, header);
    OutputFile archive;
    if (!error) error = archive.create(pacPath);
    if (!error) {
        // The archive being replaced is read while the new one is written;
        // whatever is wrong with it only means that less of it is kept.
        PreviousArchive previous;
        const bool havePrevious = !options.recompress && loadPreviousArchive(pacPath, previous);
        FileMemberSource source;
        ProgressLine progress(platform::standardErrorIsTerminal() ? memberBytes(names) : 0, true);
        std::FILE* lines = options.quiet ? nullptr : out;
        ArchiveEvents events;
        events.member = [&](std::string_view name, bool reused) {
            progress.around([&] { say(lines, "%s %s\n", reused ? "Unchanged" : "Compressing", shownName(name).c_str()); });
        };
        events.bytesRead = [&progress](std::uint64_t bytes) { progress.add(bytes); };
        error = writeArchive(names, header, source, havePrevious ? &previous : nullptr, archive, options.threads, pacPath,
                             events);
        // The previous archive is closed before the new one replaces it
        // (Windows renames nothing over a file that is open).
        previous.reader.reset();
        // The archive file tells why a write failed, and commits otherwise.
        if (!error || error.fault == Fault::WriteFailed) error = archive.commit();
    }
    if (error) report(out, "pactool", error);
    return !error;
}

}  // namespace pactools

#include "archive_command.h"

#include <vector>

#include "archive_writer.h"
#include "common_faults.h"
#include "file_io.h"
#include "list_file.h"
#include "member_names.h"
#include "messages.h"
#include "name_reading.h"
#include "pac_format.h"
#include "pactool_faults.h"
#include "platform.h"
#include "previous_archive.h"
#include "progress_line.h"
#include "text.h"

namespace pactools {

namespace {

// The list's names as the members to write: what the archive holds, and
// the text their files and messages go by.  A list extracted with a code
// page holds texts, which the same code page turns back into the very
// bytes; one without holds the names' bytes, which the archive keeps.  Any
// other mix would write other names than the list was extracted with.
Error membersOfList(const PtrVector<std::string>& names, const std::optional<CodePage>& listPage,
                    const NameReading& reading, const std::string& listName, PtrVector<PacEntry>& members) {
    if (listPage && (!reading.codePage || reading.codePage->number != listPage->number)) {
        Error error = fileError(PactoolFault::ListNamesInOtherCodePage, listName);
        error.name = listPage->name;
        if (reading.codePage) error.other = reading.codePage->name;
        return error;
    }
    const NameReading asListed{listPage};
    for (const std::string* line : names) {
        auto member = std::make_unique<PacEntry>();
        Error error;
        if (listPage) {
            member->text = *line;
            error = nameBytes(asListed, *line, member->name);
        } else {
            member->name = *line;
            error = nameText(asListed, *line, member->text);
        }
        if (error) {
            error.file = listName;
            return error;
        }
        ptrVectorPush(members, std::move(member));
    }
    return {};
}

// Reads and checks the list file: every name is checked before anything is
// written, so every archive written here can be extracted again.
Error readCheckedList(const std::string& pacPath, const NameReading& reading, PtrVector<PacEntry>& members,
                      PacHeader& header) {
    const std::string listName = listFileName(pacPath);
    InputFile listFile;
    std::vector<std::uint8_t> listBytes;
    if (Error error = listFile.open(listName)) return error.as(PactoolFault::CannotOpenList);
    if (Error error = readRest(listFile, listBytes)) return error;
    PtrVector<std::string> names;
    ptrVectorInit(names, 32, 32);
    std::optional<CodePage> listPage;
    if (Error error = readList(std::string_view(reinterpret_cast<const char*>(listBytes.data()), listBytes.size()),
                               names, header, &listPage)) {
        error.file = listName;
        return error;
    }
    if (Error error = membersOfList(names, listPage, reading, listName, members)) return error;
    for (const PacEntry* member : members) {
        if (member->name.size() > kPacMaxNameLength) {
            Error error = fileError(PactoolFault::NameTooLong, listName);
            error.name = member->text;
            error.at = kPacMaxNameLength;
            return error;
        }
    }
    if (pacDataStart(members.count) > UINT32_MAX) return fileError(PactoolFault::TooManyMembers, listName);
    std::vector<std::string_view> texts;
    texts.reserve(members.count);
    for (const PacEntry* member : members) texts.push_back(member->text);
    return checkMemberNames(texts, pacPath, listName, "archive");
}

// The members' total size, for the progress line (what can't be looked at
// counts as nothing).
std::uint64_t memberBytes(const PtrVector<PacEntry>& members) {
    std::uint64_t total = 0;
    for (const PacEntry* member : members) {
        platform::FileStatus status;
        int reason = 0;
        if (platform::statPath(memberFilePath(member->text), status, reason)) total += status.size;
    }
    return total;
}

}  // namespace

bool archiveCommand(const std::string& pacPath, std::FILE* out, const CommandOptions& options) {
    PtrVector<PacEntry> members;
    ptrVectorInit(members, 32, 32);
    PacHeader header;
    Error error = readCheckedList(pacPath, options.names, members, header);
    removeLeftoverTemporaries(platform::directoryPart(pacPath));
    OutputFile archive;
    if (!error) error = archive.create(pacPath);
    if (!error) {
        // The archive being replaced is read while the new one is written;
        // whatever is wrong with it only means that less of it is kept.
        PreviousArchive previous;
        const bool havePrevious = !options.recompress && loadPreviousArchive(pacPath, previous);
        FileMemberSource source;
        ProgressLine progress(platform::standardErrorIsTerminal() ? memberBytes(members) : 0, true);
        std::FILE* lines = options.quiet ? nullptr : out;
        ArchiveEvents events;
        events.member = [&](std::string_view text, bool reused) {
            progress.around([&] { say(lines, "%s %s\n", reused ? "Unchanged" : "Compressing", shown(text).c_str()); });
        };
        events.bytesRead = [&progress](std::uint64_t bytes) { progress.add(bytes); };
        error = writeArchive({members, header, source, havePrevious ? &previous : nullptr, pacPath},
                             {options.threads, events, nullptr, nullptr}, archive);
        // The previous archive is closed before the new one replaces it
        // (Windows renames nothing over a file that is open).
        previous.reader.reset();
        // The archive file tells why a write failed, and commits otherwise.
        if (!error || error.fault == CommonFault::WriteFailed) error = archive.commit();
    }
    if (error) report(out, "pactool", error);
    return !error;
}

}  // namespace pactools

#include "archive_command.h"

#include <vector>

#include "archive_writer.h"
#include "file_io.h"
#include "list_file.h"
#include "member_names.h"
#include "messages.h"
#include "pac_format.h"
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

}  // namespace

bool archiveCommand(const std::string& pacPath, std::FILE* out, const CommandOptions& options) {
    PtrVector<std::string> names;
    ptrVectorInit(names, 32, 32);
    PacHeader header;
    Error error = readCheckedList(pacPath, names, header);
    OutputFile archive;
    if (!error) error = archive.create(pacPath);
    if (!error) {
        FileMemberSource source;
        std::FILE* progress = options.quiet ? nullptr : out;
        error = writeArchive(names, header, source, archive, options.threads, pacPath, [progress](std::string_view name) {
            say(progress, "Compressing %s\n", shown(name).c_str());
        });
        // The archive file tells why a write failed, and commits otherwise.
        if (!error || error.fault == Fault::WriteFailed) error = archive.commit();
    }
    if (error) report(out, "pactool", error);
    return !error;
}

}  // namespace pactools

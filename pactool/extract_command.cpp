#include "extract_command.h"

#include "file_io.h"
#include "list_file.h"
#include "makefile_writer.h"
#include "member_names.h"
#include "messages.h"
#include "pac_archive.h"
#include "platform.h"
#include "progress_line.h"
#include "text.h"

namespace pactools {

namespace {

// Restores one member into the file of its name.
Error extractMember(PacArchive& archive, const PacEntry& entry, RestoreBuffers& buffers, std::FILE* lines,
                    ProgressLine& progress) {
    progress.around([&] { say(lines, "Extracting %s\n", shown(entry.name).c_str()); });
    OutputFile file;
    if (Error error = file.create(memberFilePath(entry.name))) {
        error.file = entry.name;
        return error.as(Fault::CannotCreateMember);
    }
    Error error = restoreArchiveMember(
        archive, entry,
        [&](std::span<const std::uint8_t> bytes) {
            progress.add(bytes.size());
            return file.write(bytes);
        },
        buffers);
    if (error.fault == Fault::WriteFailed) error = file.commit();  // the file tells why
    if (!error) error = file.commit();
    if (error.fault == Fault::WriteFailed) error.file = entry.name;
    return error;
}

// Writes `text` to `path` as one complete file.
Error writeTextFile(const std::string& path, const std::string& text) {
    OutputFile file;
    if (Error error = file.create(path)) return error;
    file.write(text);
    return file.commit();
}

}  // namespace

bool extractCommand(const std::string& pacPath, std::FILE* out, const CommandOptions& options) {
    FileArchiveReader reader;
    PacArchive archive;
    Error error = reader.open(pacPath);
    if (!error) error = openPacArchive(reader, pacPath, archive);
    if (error) {
        report(out, "pactool", error);
        return false;
    }
    // No member may take the place of the archive, its list file, the
    // makefile or another member: checked before any file is written.
    std::vector<std::string_view> names;
    names.reserve(archive.entries.count);
    for (const PacEntry* entry : archive.entries) names.push_back(entry->name);
    if (Error refusal = checkMemberNames(names, pacPath, pacPath, "extract")) {
        report(out, "pactool", refusal);
        return false;
    }
    RestoreBuffers buffers;
    {
        ProgressLine progress(unpackedBytes(archive), true);
        for (const PacEntry* entry : archive.entries) {
            if (Error failure = extractMember(archive, *entry, buffers, options.quiet ? nullptr : out, progress)) {
                progress.around([&] { report(out, "pactool", failure); });
                return false;
            }
        }
    }
    const std::string listName = listFileName(pacPath);
    if (Error failure = writeTextFile(listName, listText(archive.header, archive.entries, kNativeLineEnd))) {
        report(out, "pactool", failure);
        return false;
    }
    // A makefile that can't be written is passed over in silence: the members
    // and the list file are what the command is for.  Two cases are told: a
    // name that the makefile would run as code (there is then no makefile),
    // and a "makefile" that is something other than a regular file (left as
    // it is).
    std::string text;
    if (Error refusal = makefileText(pacPath, archive.entries, kNativeLineEnd, text)) {
        report(out, "pactool", refusal);
        return true;
    }
    const Error failure = writeTextFile("makefile", text);
    if (failure.fault == Fault::CannotCreate &&
        (failure.system == platform::kNotRegularFile || failure.system == EISDIR)) {
        report(out, "pactool", failure.as(Fault::CannotCreateMakefile));
    }
    return true;
}

}  // namespace pactools

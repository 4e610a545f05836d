#include "extract_command.h"

#include "file_io.h"
#include "list_file.h"
#include "makefile_writer.h"
#include "member_names.h"
#include "pac_archive.h"
#include "platform.h"
#include "text.h"

namespace pactools {

namespace {

// Restores one member into the file of its name.
bool extractMember(PacArchive& archive, const PacEntry& entry, RestoreBuffers& buffers, std::FILE* out) {
    const std::string name = shown(entry.name);
    say(out, "Extracting %s\n", name.c_str());
    std::string error;
    OutputFile file;
    if (!file.create(memberFilePath(entry.name), error)) {
        say(out, "Can't open / create\t%s\n", name.c_str());
        sayReason("pactool", entry.name, error);
        return false;
    }
    const RestoreResult result = restoreArchiveMember(
        archive, entry, [&file](std::span<const std::uint8_t> bytes) { return file.write(bytes); }, buffers);
    switch (result.status) {
    case RestoreStatus::Ok:
        break;
    case RestoreStatus::ReadFailed:
        say(out, "Error reading %s: %s\n", shown(archive.path).c_str(), result.error.c_str());
        return false;
    case RestoreStatus::WriteFailed:
        say(out, "Error writing %s: %s\n", name.c_str(), file.error().c_str());
        return false;
    case RestoreStatus::Short:
        say(out, "%s\n", damagedMemberMessage(archive, entry, result).c_str());
        return false;
    }
    if (!file.commit(error)) {
        say(out, "Error writing %s: %s\n", name.c_str(), error.c_str());
        return false;
    }
    return true;
}

// Writes `text` to `path` as one complete file.  A failed write is reported
// by commit(), which then gives its reason.
bool writeTextFile(const std::string& path, const std::string& text, std::string& error, bool& created) {
    OutputFile file;
    created = file.create(path, error);
    if (!created) return false;
    file.write(text);
    return file.commit(error);
}

}  // namespace

bool extractCommand(const std::string& pacPath, std::FILE* out) {
    PacArchive archive;
    if (!openPacArchive(pacPath, out, archive)) return false;
    // No member may take the place of the archive, its list file, the
    // makefile or another member: checked before any file is written.
    std::vector<std::string_view> names;
    names.reserve(archive.entries.count);
    for (const PacEntry* entry : archive.entries) names.push_back(entry->name);
    std::string refusal;
    if (!checkMemberNames(names, pacPath, shown(pacPath), "extract", refusal)) {
        say(out, "%s\n", refusal.c_str());
        return false;
    }
    RestoreBuffers buffers;
    for (const PacEntry* entry : archive.entries) {
        if (!extractMember(archive, *entry, buffers, out)) return false;
    }
    const PacHeader& header = archive.header;
    const PtrVector<PacEntry>& entries = archive.entries;
    std::string error;
    const std::string listName = listFileName(pacPath);
    bool created = false;
    if (!writeTextFile(listName, listText(header, entries, kNativeLineEnd), error, created)) {
        if (created) {
            say(out, "Error writing %s: %s\n", shown(listName).c_str(), error.c_str());
        } else {
            say(out, "Can't open / create %s\n", shown(listName).c_str());
            sayReason("pactool", listName, error);
        }
        return false;
    }
    // A makefile that can't be written is passed over in silence: the members
    // and the list file are what the command is for.  Two cases are told: a
    // name that the makefile would run as code (there is then no makefile),
    // and a "makefile" that is something other than a regular file (left as
    // it is).
    std::string text;
    if (!makefileText(pacPath, entries, kNativeLineEnd, text, refusal)) {
        say(out, "%s\n", refusal.c_str());
        return true;
    }
    if (!writeTextFile("makefile", text, error, created) && !created) {
        platform::FileStatus status;
        int reason = 0;
        if (platform::statPath("makefile", status, reason) && !status.regular) {
            say(out, "Can't open / create makefile\n");
            sayReason("pactool", "makefile", error);
        }
    }
    return true;
}

}  // namespace pactools

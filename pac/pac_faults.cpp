#include "pac_faults.h"

#include "messages.h"
#include "platform.h"
#include "text.h"
#include "work_folder.h"

namespace pactools {

namespace {

std::string message(const Error& e) {
    const std::string file = shown(e.file);
    const std::string name = shown(e.name);  // a path, msgid or code page
    const std::string member = shown(e.name);  // a member's name, as text
    switch (static_cast<PacFault>(e.fault.code)) {
    case PacFault::ChangedWhileRead:
        return file + " or " + name + " changed while the archive was built from them; run the command again";
    case PacFault::ListEmpty: return "Unexpected EOF in list file...";
    case PacFault::ListInvalid: return "Invalid list file";
    case PacFault::ListHeaderWordTooLarge: return "Invalid list file: line 1: the header word does not fit in 32 bits";
    case PacFault::ListOutOfMemory: return "Out of memory reading the list file";
    case PacFault::MemberTooLarge: return member + ": member is 4 GiB or larger, which the archive cannot hold";
    case PacFault::ArchiveTooLarge: return file + ": the archive would reach 4 GiB at member " + member;
    case PacFault::NameEmpty: return file + ": Refusing to " + e.detail + " entry " + number(e.at) + ": its name is empty";
    case PacFault::NameUnsafe:
        return refusing(e, "the name is absolute, leads out of the current directory or holds a line break");
    case PacFault::NameNotAFile: return refusing(e, "it names a directory, not a file");
    case PacFault::NameMisreadByWindows: return refusing(e, "Windows would read the name as a device or as another name");
    case PacFault::NameIsArchive: return refusing(e, "it would replace the archive itself");
    case PacFault::NameIsList: return refusing(e, "it would replace the list file");
    case PacFault::NameIsMakefile: return refusing(e, "it would replace the makefile");
    case PacFault::NameCollides:
        return refusing(e, "it names the same file as " + shown(e.other) +
                               " (names that differ only in letter case, in '\\' and '/', or in trailing dots and "
                               "spaces are one file on Windows)");
    case PacFault::NameNotInCodePage:
        return file + ": Refusing to " + (e.detail.empty() ? std::string("extract") : e.detail) + " entry " +
               number(e.at) + ": its name " + escapedBytes(e.name) + " is not text in " + e.other +
               " (its bytes do not decode, or " + e.other + " writes those characters otherwise)";
    case PacFault::NameTextNotInCodePage:
        return file + ": the name " + shown(e.name) + " holds " +
               (e.at == 0xFFFFFFFF ? std::string("bytes that are not UTF-8") : "U+" + hex(e.at, 4)) + ", which " +
               e.other + " cannot hold";
    case PacFault::NameLikeTemporary:
        return refusing(e, "it has the form of the temporary files pactool and scntool write, which a later run "
                           "would take for one left behind");
    case PacFault::NameIsRecord:
        return refusing(e, std::string("it lies in ") + kRecordFolder +
                               ", where scntool keeps its records of listings and binaries");
    case PacFault::NameReplacesOwnFile:
        return refusing(e, "it would replace a file that " + shown(e.other) +
                               " (the list of the archive extracted here before) does not name: a file of your own, "
                               "such as a listing or a PO file; move it away first");
    case PacFault::PreviousListUnreadable:
        return file + ": the list of the archive extracted here before cannot be read (" + e.detail +
               "), so extract cannot tell its members from your own files; move it away to extract here";
    case PacFault::NameMayBeShortName:
        return refusing(e, "on Windows it may name the same file or folder as " + shown(e.other) +
                               ", whose short 8.3 name (or its folder's) it could be");
    case PacFault::NameSameFile:
        return refusing(e, "its file is the file of " + shown(e.other) + " here (the file system takes them for one)");
    case PacFault::NotPac: return file + ": Not a PAC file...";
    case PacFault::DirectoryPastEnd:
        return file + ": Damaged PAC file: its directory of " + number(e.at) + " entries runs past the end of the file";
    case PacFault::DirectoryShort: return file + ": Damaged PAC file: its directory runs past the end of the file";
    case PacFault::EntryWithoutNul: return file + ": Damaged PAC file: entry " + number(e.at) + " has a name without NUL";
    case PacFault::DataPastEnd:
        // (Before names are read as text: the name as the system reads it.)
        return file + ": Damaged PAC file: the data of " + shownName(e.name) + " runs past the end of the file";
    case PacFault::MemberDamaged:
        return file + ": member " + member + " is damaged: its data gives " + number(e.at) + " of its " + number(e.of) +
               " bytes";
    }
    return "Unknown error";
}

// The list file's message is terse; what is wrong with it follows.
void explain(const char* tool, const Error& e) {
    if (static_cast<PacFault>(e.fault.code) == PacFault::ListInvalid && !e.file.empty()) {
        sayReason(tool, e.file + ":1", "the first line holds the header's byte and word in hexadecimal, e.g. 1A 7F3");
    }
}

const FaultDomain kDomain{message, {}, explain};

}  // namespace

const FaultDomain& faultDomain(PacFault) {
    return kDomain;
}

}  // namespace pactools

#include "pactool_faults.h"

#include "messages.h"
#include "platform.h"
#include "text.h"

namespace pactools {

namespace {

const char* const kMakefileNames = "make and the shell would read it as more than a name (the makefile takes names "
                                   "of letters, digits, bytes from 0x80 up and . _ - + / , \\)";

std::string message(const Error& e) {
    const std::string file = shown(e.file);
    const std::string name = shown(e.name);  // a path, msgid or code page
    const std::string member = shown(e.name);  // a member's name, as text
    switch (static_cast<PactoolFault>(e.fault.code)) {
    case PactoolFault::CannotOpenList: return "Cant open list file: " + file;
    case PactoolFault::CannotCreateMember: return "Can't open / create\t" + file;
    case PactoolFault::CannotCreateMakefile: return "Can't open / create " + file;
    case PactoolFault::ListNamesInOtherCodePage:
        return file + ": its names are text in " + e.name + " (extracted with --code-page " + e.name + "); " +
               (e.other.empty() ? std::string("archive with --code-page ") + e.name
                                : "--code-page " + e.other + " would write other names") +
               ", so that the archive gets the names it was extracted with";
    case PactoolFault::NameTooLong: return file + ": name longer than " + number(e.at) + " bytes: " + member;
    case PactoolFault::TooManyMembers: return file + ": too many members for one archive";
    case PactoolFault::StoredOverlap:
        return "Warning: " + file + ": the stored bytes of " + member + " overlap those of " + shown(e.other);
    case PactoolFault::StoredPastStream:
        return "Warning: " + file + ": the stored bytes of " + member + " hold " + number(e.at) +
               " bytes after its stream";
    case PactoolFault::NamesSuggestCodePage:
        return file + ": the member names are not text as this system reads file names, but read as " + e.name +
               ": extract with --code-page NAME (" + e.name + ") to have them as Unicode file names";
    case PactoolFault::NoSpaceForMembers:
        return file + ": writing its members takes up to " + number(e.at) +
               " bytes more than the files they replace hold (with the temporary copies made before a file is "
               "replaced), and only " + number(e.of) + " bytes are free in " + shown(e.name) + "; nothing was written";
    case PactoolFault::MakefileUnsafeMember:
        return "No makefile written: the member name " + member + " holds a character " + kMakefileNames;
    case PactoolFault::MakefileTargetMember:
        return "No makefile written: the member name " + member + " is also a target of the makefile (" + e.detail +
               "), which make would take for the member";
    case PactoolFault::MakefileUnsafeArchive:
        return "No makefile written: the archive path " + file + " holds a character " + kMakefileNames;
    case PactoolFault::MakefileArchiveNotInCodePage:
        return "No makefile written: the archive path " + file +
               " holds a character the system's code page cannot hold, so make could not pass it on";
    case PactoolFault::MakefileMemberNotInCodePage:
        return "No makefile written: the member name " + member +
               " holds a character the system's code page cannot hold, so make could not name its file";
    case PactoolFault::InstallNoGameDir:
        return "Not installed: GAME_DIR is empty; name the game's folder in ../makefile.conf (GAME_DIR = "
               "C:\\Games\\TheGame), or give it after the archive";
    case PactoolFault::InstallNotAFolder: {
        const std::string why = e.system != 0 ? " (" + platform::errorText(e.system) + ")" : "";
        return e.detail.empty() ? "Not installed: " + file + " is not a folder" + why
                                : "Not installed: " + e.detail + " in ../makefile.conf names " + file +
                                      ", which is not a folder" + why;
    }
    case PactoolFault::MakefileNotAScenario:
        return member + " is not a scenario for the makefile: the archive also holds " + shown(e.other) +
               ", the name of its listing, PO file or template; both are packed as they are";
    }
    return "Unknown error";
}

const FaultDomain kDomain{
    message,
    // No reason of their own ("Can't open NAME"): the system's follows.
    {faultCode(PactoolFault::CannotOpenList),
     faultCode(PactoolFault::CannotCreateMember),
     faultCode(PactoolFault::CannotCreateMakefile)},
    nullptr};

}  // namespace

const FaultDomain& faultDomain(PactoolFault) {
    return kDomain;
}

}  // namespace pactools

#include "messages.h"

#include "platform.h"
#include "text.h"
#include "work_folder.h"

namespace pactools {

namespace {

std::string number(std::uint64_t value) {
    return std::to_string(value);
}

std::string hex(std::uint64_t value, int width = 0) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*llX", width, static_cast<unsigned long long>(value));
    return text;
}

std::string atLine(const char* what, std::uint64_t line) {
    return std::string(what) + " in scenario file at line: " + number(line);
}

std::string shownFile(const Error& e) {
    return shown(e.file);
}

std::string atOffset(const Error& e, const char* what) {
    return shown(e.file) + ": " + what + " at offset 0x" + hex(e.at);
}

std::string refusing(const Error& e, const std::string& reason) {
    return shown(e.file) + ": Refusing to " + e.detail + " " + shown(e.name) + ": " + reason;
}

const char* const kMakefileNames = "make and the shell would read it as more than a name (the makefile takes names "
                                   "of letters, digits, bytes from 0x80 up and . _ - + / , \\)";

}  // namespace

std::string shownName(std::string_view name) {
    return shown(platform::textOfName(name));
}

std::string messageText(const Error& e) {
    const std::string file = shownFile(e);
    const std::string name = shown(e.name);        // a path, msgid or code page
    const std::string member = shown(e.name);      // a member's name, as text
    switch (e.fault) {
    case Fault::None: return {};
    case Fault::CannotOpen: return "Can't open " + file;
    case Fault::CannotOpenList: return "Cant open list file: " + file;
    case Fault::CannotOpenScenario: return file + ": Can't open file!";
    case Fault::CannotCreate: return "Can't open / create " + file;
    case Fault::CannotCreateMember: return "Can't open / create\t" + file;
    case Fault::CannotCreateScenario: return file + ": Can't open/create file!";
    case Fault::CannotCreateMakefile: return "Can't open / create " + file;
    case Fault::ReadFailed: return "Error reading " + file + ": " + platform::errorText(e.system);
    case Fault::WriteFailed: return "Error writing " + file + ": " + platform::errorText(e.system);
    case Fault::FileShrank: return "Error reading " + file + ": the file shrank while it was read";
    case Fault::FileGrew: return "Error reading " + file + ": the file grew while it was read";
    case Fault::ChangedWhileRead:
        return file + " or " + name + " changed while the archive was built from them; run the command again";
    case Fault::OutOfMemory: return file + ": out of memory";
    case Fault::ListEmpty: return "Unexpected EOF in list file...";
    case Fault::ListInvalid: return "Invalid list file";
    case Fault::ListHeaderWordTooLarge: return "Invalid list file: line 1: the header word does not fit in 32 bits";
    case Fault::ListOutOfMemory: return "Out of memory reading the list file";
    case Fault::ListNamesInOtherCodePage:
        return file + ": its names are text in " + e.name + " (extracted with --code-page " + e.name + "); " +
               (e.other.empty() ? std::string("archive with --code-page ") + e.name
                                : "--code-page " + e.other + " would write other names") +
               ", so that the archive gets the names it was extracted with";
    case Fault::NameTooLong: return file + ": name longer than " + number(e.at) + " bytes: " + member;
    case Fault::TooManyMembers: return file + ": too many members for one archive";
    case Fault::MemberTooLarge: return member + ": member is 4 GiB or larger, which the archive cannot hold";
    case Fault::ArchiveTooLarge: return file + ": the archive would reach 4 GiB at member " + member;
    case Fault::NameEmpty: return file + ": Refusing to " + e.detail + " entry " + number(e.at) + ": its name is empty";
    case Fault::NameUnsafe:
        return refusing(e, "the name is absolute, leads out of the current directory or holds a line break");
    case Fault::NameNotAFile: return refusing(e, "it names a directory, not a file");
    case Fault::NameMisreadByWindows: return refusing(e, "Windows would read the name as a device or as another name");
    case Fault::NameIsArchive: return refusing(e, "it would replace the archive itself");
    case Fault::NameIsList: return refusing(e, "it would replace the list file");
    case Fault::NameIsMakefile: return refusing(e, "it would replace the makefile");
    case Fault::NameCollides:
        return refusing(e, "it names the same file as " + shown(e.other) +
                               " (names that differ only in letter case, in '\\' and '/', or in trailing dots and "
                               "spaces are one file on Windows)");
    case Fault::NameNotInCodePage:
        return file + ": Refusing to " + (e.detail.empty() ? std::string("extract") : e.detail) + " entry " +
               number(e.at) + ": its name " + escapedBytes(e.name) + " is not text in " + e.other +
               " (its bytes do not decode, or " + e.other + " writes those characters otherwise)";
    case Fault::NameTextNotInCodePage:
        return file + ": the name " + shown(e.name) + " holds " +
               (e.at == 0xFFFFFFFF ? std::string("bytes that are not UTF-8") : "U+" + hex(e.at, 4)) + ", which " +
               e.other + " cannot hold";
    case Fault::NameLikeTemporary:
        return refusing(e, "it has the form of the temporary files pactool and scntool write, which a later run "
                           "would take for one left behind");
    case Fault::NameIsRecord:
        return refusing(e, std::string("it lies in ") + kRecordFolder +
                               ", where scntool keeps its records of listings and binaries");
    case Fault::NameReplacesOwnFile:
        return refusing(e, "it would replace a file that " + shown(e.other) +
                               " (the list of the archive extracted here before) does not name: a file of your own, "
                               "such as a listing or a PO file; move it away first");
    case Fault::PreviousListUnreadable:
        return file + ": the list of the archive extracted here before cannot be read (" + e.detail +
               "), so extract cannot tell its members from your own files; move it away to extract here";
    case Fault::NameMayBeShortName:
        return refusing(e, "on Windows it may name the same file or folder as " + shown(e.other) +
                               ", whose short 8.3 name (or its folder's) it could be");
    case Fault::NameSameFile:
        return refusing(e, "its file is the file of " + shown(e.other) + " here (the file system takes them for one)");
    case Fault::NotPac: return file + ": Not a PAC file...";
    case Fault::DirectoryPastEnd:
        return file + ": Damaged PAC file: its directory of " + number(e.at) + " entries runs past the end of the file";
    case Fault::DirectoryShort: return file + ": Damaged PAC file: its directory runs past the end of the file";
    case Fault::EntryWithoutNul: return file + ": Damaged PAC file: entry " + number(e.at) + " has a name without NUL";
    case Fault::DataPastEnd:
        // (Before names are read as text: the name as the system reads it.)
        return file + ": Damaged PAC file: the data of " + shownName(e.name) + " runs past the end of the file";
    case Fault::MemberDamaged:
        return file + ": member " + member + " is damaged: its data gives " + number(e.at) + " of its " + number(e.of) +
               " bytes";
    case Fault::StoredOverlap:
        return "Warning: " + file + ": the stored bytes of " + member + " overlap those of " + shown(e.other);
    case Fault::StoredPastStream:
        return "Warning: " + file + ": the stored bytes of " + member + " hold " + number(e.at) +
               " bytes after its stream";
    case Fault::NamesSuggestCodePage:
        return file + ": the member names are not text as this system reads file names, but read as " + e.name +
               ": extract with --code-page NAME (" + e.name + ") to have them as Unicode file names";
    case Fault::NoSpaceForMembers:
        return file + ": writing its members takes up to " + number(e.at) +
               " bytes more than the files they replace hold (with the temporary copies made before a file is "
               "replaced), and only " + number(e.of) + " bytes are free in " + shown(e.name) + "; nothing was written";
    case Fault::MakefileUnsafeMember:
        return "No makefile written: the member name " + member + " holds a character " + kMakefileNames;
    case Fault::MakefileTargetMember:
        return "No makefile written: the member name " + member + " is also a target of the makefile (" + e.detail +
               "), which make would take for the member";
    case Fault::MakefileUnsafeArchive:
        return "No makefile written: the archive path " + file + " holds a character " + kMakefileNames;
    case Fault::MakefileArchiveNotInCodePage:
        return "No makefile written: the archive path " + file +
               " holds a character the system's code page cannot hold, so make could not pass it on";
    case Fault::MakefileMemberNotInCodePage:
        return "No makefile written: the member name " + member +
               " holds a character the system's code page cannot hold, so make could not name its file";
    case Fault::MakefileNotAScenario:
        return member + " is not a scenario for the makefile: the archive also holds " + shown(e.other) +
               ", the name of its listing, PO file or template; both are packed as they are";
    case Fault::ScenarioTooShort: return atOffset(e, "file too short for a scenario header");
    case Fault::FlagDataPastEnd: return atOffset(e, "flag data runs past the end of the file");
    case Fault::StatementPastEnd: return atOffset(e, "statement runs past the end of the file");
    case Fault::FlagOpcodeInStream: return atOffset(e, "opcode FFFF in the statement stream");
    case Fault::PushBPastEnd: return atOffset(e, "PushB string runs past the end of the file");
    case Fault::PushBWithoutNul: return atOffset(e, "PushB string holds no NUL");
    case Fault::ScenarioEmpty: return "Scenario can't be empty !";
    case Fault::FlagBlockNotFirst: return "The flag block must come before every statement";
    case Fault::FlagBlockLength: return "The flag block's length must be a multiple of 4";
    case Fault::PushBLength: return "A PushB statement's length differs from its string";
    case Fault::StatementsTooLarge: return "The statements take 4 GiB or more";
    case Fault::SyntaxError: return atLine("Syntax error", e.at);
    case Fault::NotEnoughFlagData: return atLine("Not enough data for flags", e.at);
    case Fault::UndefinedSymbol:
        return "Error in scenario file at line " + number(e.at) + ", undefined symbol '" + shownName(e.name) + "'";
    case Fault::CallIsNotACall: return atLine(("Call number " + hex(e.of) + " is not a call").c_str(), e.at);
    case Fault::FlagsNotFirst: return atLine("Flags must come before every statement", e.at);
    case Fault::FlagsLengthNotMultiple: return atLine("Flags length must be a multiple of 4", e.at);
    case Fault::JumpWithoutLabel: return atLine("Jump without a label", e.at);
    case Fault::StatementsReach4GiB: return atLine("Statements reach 4 GiB", e.at);
    case Fault::ListingOutOfMemory: return atLine("Out of memory", e.at);
    case Fault::MissingLabel: return "Error: No label at " + hex(e.at, 8) + ".";
    case Fault::PoSyntax: return file + ":" + number(e.at) + ": " + e.detail;
    case Fault::PoNotUtf8:
        return file + ": the PO file is in " + shown(e.detail) + "; only UTF-8 PO files are read (convert it with msgconv)";
    case Fault::PoPlural:
        return file + ":" + number(e.at) + ": the entry '" + name + "' has plural forms, which scenarios do not have";
    case Fault::PoDuplicateEntry:
        return file + ":" + number(e.at) + ": a second entry for '" + name + "' (the first is at line " + number(e.of) +
               "); each string may have one entry only";
    case Fault::PoEntriesWithContext:
        return "Warning: " + file + ": " + number(e.at) +
               " entries have a msgctxt, which no string uses: entries are keyed by their msgid alone";
    case Fault::PoGivenTwice: return file + ": with --po, name the listings to assemble (NAME.txt)";
    case Fault::PoMissing:
        return file + ": not there yet: make it from the template (make pot, then msginit), or name no PO file";
    case Fault::CodePageUnknown:
        return (e.file.empty() ? std::string() : file + ": ") + "Unknown code page " + name + " (known: " + e.detail + ")";
    case Fault::CodePageConflict:
        return file + ": --code-page " + name + " differs from the X-Code-Page " + shown(e.other) + " of the PO file";
    case Fault::StringHoldsControlPicture:
        return "Warning: " + file + ":" + number(e.at) +
               ": the string is left out of the template: it holds a control picture (U+2401 to U+241F), which "
               "templates use for control bytes";
    case Fault::StringHoldsByteNotation:
        return "Warning: " + file + ":" + number(e.at) +
               ": the string is left out of the template: it holds a character from U+F0080 to U+F00FF, which "
               "templates use for bytes the code page does not define";
    case Fault::TranslationUnmappable:
        return file + ":" + number(e.at) + ": the translation of '" + name + "' holds " + e.detail;
    case Fault::TranslationNotUtf8:
        return file + ":" + number(e.at) + ": the translation of '" + name + "' is not valid UTF-8";
    case Fault::TranslationLineBreak:
        return file + ":" + number(e.at) + ": the translation of '" + name +
               "' holds a NUL, CR or LF, which a listing cannot hold";
    case Fault::TranslationNotReadBack:
        return file + ":" + number(e.at) + ": the translation of '" + name +
               "' would not read back as written: a byte written as its stand-in (U+F0080 to U+F00FF) makes one "
               "character with what follows it";
    case Fault::PoControlBytes:
        return "Warning: " + file + ":" + number(e.at) + ": the translation of '" + name +
               "' does not hold the control bytes its source holds";
    case Fault::JumpIntoStatement: return "A jump or label names offset 0x" + hex(e.at) + ", inside a statement";
    case Fault::TranslatedBinaryWrong:
        return file + ":" + number(e.at) + ": the translated binary failed its check (" + e.detail +
               "); nothing was written";
    case Fault::ListingKept:
        return file + ": kept: it assembles to " + name +
               (e.other.empty() ? std::string() : " with the translations of " + shown(e.other));
    case Fault::ListingKeptOtherTranslations:
        return file + ": kept: " + name + " differs from it only in translated strings, from line " + number(e.at) +
               " on (built with earlier translations; if a new version of the game changed those strings, remove " +
               file + " and list " + name + " again)";
    case Fault::ListingNotAssembling:
        return file + ": not listed again over it: it does not assemble (correct it, or remove it to list " + name +
               " again)";
    case Fault::ListingRefreshed:
        return file + ": listed again: " + name +
               " is not what it assembles to (a new version, or edits not built yet); the old listing is kept as " +
               shown(e.other) + ": carry your edits over from it, then make pot and msgmerge";
    case Fault::RecordDamaged:
        return file + ":" + number(e.at) + ": not a record scntool writes; remove it, and " + name +
               " counts as a listing written by hand";
    case Fault::NewOriginal:
        return file + ": not assembled over " + name +
               ", which is neither the binary it was listed from nor one built from it (a new version of the game?): "
               "run make decompile (scntool " + name + ") to list it again";
    case Fault::TemplateOfOldListing:
        return file + ": no template made from it: " + name +
               " is neither the binary it was listed from nor one built from it (a new version of the game?): run "
               "make decompile (scntool " + name + ") first";
    case Fault::NoListing:
        return file + ": no listing to build it from with its translations: run make decompile (scntool " + file + ")";
    case Fault::BinaryMissing:
        return file + ": missing: it is what " + name +
               " is checked against (a new version of the game may have been extracted); extract the archive again "
               "(make extract), or assemble it by hand (scntool " + name + ")";
    case Fault::ListingOfEarlierOriginal:
        return file + ": not assembled: it is the listing of an earlier original of " + name +
               " (a copy of the old listing?); carry your edits over into the listing of the new one instead";
    case Fault::ListingKeptSource: return file + ": kept: it was listed from " + name;
    case Fault::ListingKeptBuilt: return file + ": kept: " + name + " was built from it";
    case Fault::ListingRelisted:
        return file + ": listed again: " + name +
               " is a new original; make its template again (make pot) and merge it into the translations (msgmerge)";
    case Fault::ListingRelistedEditsKept:
        return file + ": listed again: " + name + " is a new original; the old listing, " +
               (e.at == 0 ? std::string("whose edits cannot be counted (it was not listed by scntool)")
                          : "with " + number(e.at) + (e.at == 1 ? " edited line" : " edited lines")) +
               ", is kept as " + shown(e.other) + ": carry your edits over from it, then make pot and msgmerge";
    case Fault::StringsDoNotDecode:
        return file + ": none of its " + number(e.at) + " strings with bytes from 0x80 up decodes in " + e.other +
               ": name the game's code page (CODE_PAGE in ../makefile.conf, or --code-page)";
    case Fault::TranslationsUnused:
        return file + ": none of its " + number(e.at) + " translations matches a string of the scenarios read in " +
               e.other + ": is that the game's code page (CODE_PAGE, --code-page or the PO file's X-Code-Page)?";
    case Fault::ExtensionRefused: return file + ": file extension must be 'bin' or 'txt'.";
    case Fault::ListingDoesNotAssemble:
        return "Warning: " + file + ": the listing does not assemble back (" + e.detail + ")";
    case Fault::ListingDiffers:
        return "Warning: " + file + ": the listing assembles to a different binary (first difference at offset 0x" +
               hex(e.at) + ")";
    }
    return "Unknown error";
}

bool needsReason(const Error& e) {
    switch (e.fault) {
    case Fault::CannotOpen:
    case Fault::CannotOpenList:
    case Fault::CannotOpenScenario:
    case Fault::CannotCreate:
    case Fault::CannotCreateMember:
    case Fault::CannotCreateScenario:
    case Fault::CannotCreateMakefile:
        return e.system != 0;
    default:
        return false;
    }
}

void report(std::FILE* out, const char* tool, const Error& error) {
    say(out, "%s\n", messageText(error).c_str());
    if (needsReason(error)) {
        sayReason(tool, error.file, platform::errorText(error.system));
    }
    // The list file's message is terse; what is wrong with it follows.
    if (error.fault == Fault::ListInvalid && !error.file.empty()) {
        sayReason(tool, error.file + ":1", "the first line holds the header's byte and word in hexadecimal, e.g. 1A 7F3");
    }
}

}  // namespace pactools

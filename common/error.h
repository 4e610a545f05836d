// The one way failures travel: an Error says what failed, the file it
// concerns, the names and numbers its message needs, and the operating
// system's reason.  Formats, codec, files and pipelines return it; only the
// command layer puts it into words (messages.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pactools {

enum class Fault : std::uint8_t {
    None,
    // Files: `file`, and the system's reason in `system`.
    CannotOpen,            // an input that cannot be opened
    CannotOpenList,        // the archive command's list file
    CannotOpenScenario,    // scntool's input
    CannotCreate,          // an output that cannot be created
    CannotCreateMember,    // an extracted member's file
    CannotCreateScenario,  // scntool's output
    CannotCreateMakefile,  // a "makefile" that is not a regular file
    ReadFailed,
    WriteFailed,
    FileShrank,
    FileGrew,
    ChangedWhileRead,      // `file` the previous archive, `name` the member
    OutOfMemory,
    // The archive command: `file` is the list file or archive, `name` a member.
    ListEmpty,
    ListInvalid,
    ListHeaderWordTooLarge,
    ListOutOfMemory,
    ListNamesInOtherCodePage,  // `name` the list's code page, `other` --code-page's (empty: none given)
    NameTooLong,
    TooManyMembers,
    MemberTooLarge,
    ArchiveTooLarge,
    // Names refused before writing: `file` the source, `detail` the verb
    // ("extract"/"archive"), `name` the member, `at` its 1-based number.
    NameEmpty,
    NameUnsafe,
    NameNotAFile,
    NameMisreadByWindows,
    NameIsArchive,
    NameIsList,
    NameIsMakefile,
    NameCollides,  // `other`: the earlier member's name
    NameMayBeShortName,  // `other`: the member whose short 8.3 name it may be
    NameSameFile,        // `other`: the member whose existing file it is too
    NameIsRecord,  // a name inside scntool's record folder
    NameLikeTemporary,  // a name of the form of the tools' temporary files
    NameNotInCodePage,      // `name` the bytes, `other` the code page, `at` the entry's number
    NameTextNotInCodePage,  // a list file's name: `name` its text, `other` the code page, `at` the character
    NameReplacesOwnFile,  // `other`: the list file of the archive extracted there before
    PreviousListUnreadable,  // `file` that list file, `detail` why
    // Reading an archive: `file` the archive.
    NotPac,
    DirectoryPastEnd,  // `at`: the entry count
    DirectoryShort,
    EntryWithoutNul,   // `at`: the entry's number
    DataPastEnd,       // `name`
    MemberDamaged,     // `name`, `at` bytes given of `of`
    StoredOverlap,     // warning; `name` and `other` the members
    StoredPastStream,  // warning; `name`, `at` the bytes after its stream
    NamesSuggestCodePage,  // note; `name` the code pages the names read in
    NoSpaceForMembers,     // `at` the members' bytes, `of` the free bytes
    // The makefile.
    MakefileUnsafeMember,   // `name`
    MakefileTargetMember,   // `name`, `detail` the makefile's targets
    MakefileUnsafeArchive,  // `file`
    MakefileArchiveNotInCodePage,  // `file`: a path the system's code page cannot hold
    MakefileNotAScenario,   // note; `name` a .bin member, `other` the member named like its listing
    MakefileMemberNotInCodePage,  // `name`: a member name the system's code page cannot hold
    // Binary scenarios: `file`, `at` the file offset.
    ScenarioTooShort,
    FlagDataPastEnd,
    StatementPastEnd,
    FlagOpcodeInStream,
    PushBPastEnd,
    PushBWithoutNul,
    ScenarioEmpty,
    FlagBlockNotFirst,
    FlagBlockLength,
    PushBLength,
    StatementsTooLarge,
    // Listings: `at` the 1-based line.
    SyntaxError,
    NotEnoughFlagData,
    UndefinedSymbol,      // `name`
    CallIsNotACall,       // `at` the line, `of` the number
    FlagsNotFirst,
    FlagsLengthNotMultiple,
    JumpWithoutLabel,
    StatementsReach4GiB,
    ListingOutOfMemory,
    MissingLabel,         // `at`: the jump's own offset
    // PO files and code pages: `file` the PO file or listing, `at` a line,
    // `name` an entry's msgid (shortened), `other` a code page.
    PoSyntax,                   // `detail`: what is wrong
    PoNotUtf8,                  // `detail`: the charset it declares
    PoPlural,
    PoDuplicateEntry,           // `of`: the line of the first entry of that key
    PoEntriesWithContext,       // warning; `at` how many
    PoGivenTwice,               // a NAME.po argument with --po
    PoMissing,                  // a project PO file named but not there (status)
    CodePageUnknown,            // `name`: the name given
    CodePageConflict,           // `name`: --code-page, `other`: the header's
    StringHoldsControlPicture,  // warning: a string holding U+2401-U+241F itself, left out of a template
    StringHoldsByteNotation,    // warning: a string holding U+F0080-U+F00FF itself, left out of a template
    TranslationUnmappable,      // `detail`: the character, and what the code page holds instead
    TranslationNotUtf8,
    TranslationLineBreak,       // a NUL, CR or LF, which a listing cannot hold
    TranslationNotReadBack,     // its bytes would read back as other text (a byte's stand-in joins the next)
    PoControlBytes,             // warning
    JumpIntoStatement,          // `at`: the address a jump or label names
    TranslatedBinaryWrong,      // `at` the listing line, `detail` how
    ListingKept,                // note; `file` the listing, `name` the binary, `other` the PO file if any
    ListingKeptOtherTranslations,  // note; the same, `at` the first line whose string differs
    ListingNotAssembling,       // `file` the listing, `name` the binary
    ListingRefreshed,           // note; `file` the listing, `name` the binary, `other` where the old listing is kept
    // Records of where listings came from: `file` the listing, `name` the binary.
    RecordDamaged,              // `file` the record, `at` its line, `name` the listing
    NewOriginal,                // assembling over a binary the record does not know
    TemplateOfOldListing,       // a template from a listing whose binary the record does not know
    NoListing,                  // `file` the binary, `name` the listing: translations need a listing
    BinaryMissing,              // `file` the binary, `name` the listing: what the listing is checked against
    ListingOfEarlierOriginal,   // the listing assembles to what a listing of an earlier original did
    ListingKeptSource,          // note
    ListingKeptBuilt,           // note
    ListingRelisted,            // note
    ListingRelistedEditsKept,   // note; `other` where the old listing is kept, `at` its edited lines (0: unknown)
    StringsDoNotDecode,         // `file` the listing, `at` the strings with bytes from 0x80 up, `other` the code page
    TranslationsUnused,         // `file` the PO file, `at` its translations, `other` the code page
    // scntool's command line: `file`.
    ExtensionRefused,
    ListingDoesNotAssemble,  // `detail`: why
    ListingDiffers,          // `at`: the first differing offset
};

struct Error {
    Error() = default;
    explicit Error(Fault what) : fault(what) {}

    Fault fault = Fault::None;
    std::string file;        // the file it concerns: its path, or a member's name as text (fileIsName)
    std::string name;        // a member's name as text, a label or another name the message shows
    std::string other;       // a second name
    std::string detail;      // further text: a verb, a reason
    std::uint64_t at = 0;    // a line, offset, count or number
    std::uint64_t of = 0;    // a second number
    int system = 0;          // the operating system's reason, 0 for none (platform.h)
    bool fileIsName = false; // `file` is a member's name, as the archive or list file holds it

    explicit operator bool() const { return fault != Fault::None; }
    // The same error told in another context ("Can't open" of a list file).
    Error as(Fault other) const {
        Error copy = *this;
        copy.fault = other;
        return copy;
    }
    // The same error told of the member `member`, whose name stands for its file.
    Error ofMember(std::string_view member) const {
        Error copy = *this;
        copy.file = member;
        copy.fileIsName = true;
        return copy;
    }
};

inline Error fileError(Fault fault, std::string file, int system = 0) {
    Error error;
    error.fault = fault;
    error.file = std::move(file);
    error.system = system;
    return error;
}

// An error about the member `member`: its name stands for its file.
inline Error memberError(Fault fault, std::string_view member, int system = 0) {
    return fileError(fault, {}, system).ofMember(member);
}

inline Error lineError(Fault fault, std::uint64_t line) {
    Error error;
    error.fault = fault;
    error.at = line;
    return error;
}

}  // namespace pactools

// The bridge between a scenario's strings and gettext PO files.
//
// An entry is keyed by its text alone: its msgid is the string, decoded
// from the game's code page to UTF-8, and it has no msgctxt.  A template
// therefore holds one entry per distinct string, however often the string
// occurs, and inserting, deleting or editing one string changes no other
// entry's key; templates of several scenarios merge (msgcat) into one PO
// file whose entries serve them all.
//
// Control bytes 0x01-0x1F other than tab are written as the Unicode control
// pictures U+2401-U+241F (byte 0x03 as U+2403), which every PO tool carries
// and shows; tab stays a tab (written \t).  A byte from 0x80 up that the
// code page does not define (an engine's escape, say) is written as U+F0000
// + byte (U+F00FF for FF), a character of the Supplementary Private Use
// Area, which no code page uses.  Translations turn both back into the
// bytes.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "code_page.h"
#include "error.h"
#include "po_file.h"
#include "scenario.h"

namespace pactools {

// One listing whose strings are translated or put into a template.
struct ScenarioText {
    std::string listing;             // the listing file, as messages and references name it
    std::vector<std::size_t> lines;  // each statement's line in the listing
    CodePage codePage = kUtf8;
};

// A scenario string (its bytes, without NUL) as PO files hold it;
// `undecoded`, when given, tells whether it holds bytes the code page does
// not define.  Fails with StringHoldsControlPicture (or
// StringHoldsByteNotation) when the decoded text itself holds U+2401-U+241F
// (or U+F0080-U+F00FF), which could not be told from the bytes they stand for.
Fault stringAsPoText(const CodePage& page, std::string_view bytes, std::string& text, bool* undecoded = nullptr);

// PO text as a scenario string's bytes, translating the string `source`
// (its bytes): a character the source holds is written with the source's
// bytes for it, any other as the code page writes it.  Fails with
// TranslationNotUtf8, TranslationLineBreak (a NUL, CR or LF, raw or as a
// picture, which a listing cannot hold) or TranslationUnmappable
// (`character` the first character the code page cannot hold).
Fault poTextAsString(const CodePage& page, std::string_view text, std::string_view source, std::string& bytes,
                     std::uint32_t& character);

// "U+301C WAVE DASH", with the look-alike the code page holds instead when
// there is one: "U+301C WAVE DASH; CP932 holds U+FF5E FULLWIDTH TILDE".
std::string characterDescription(const CodePage& page, std::uint32_t character);

// A template: one entry per distinct string of the scenarios added to it, in
// order of first occurrence.
struct TemplateEntry {
    std::string text;                     // msgid
    std::vector<std::string> references;  // "scene01.txt:14", every line it stands on
    std::string before;                   // the string before its first occurrence ("" for none)
    bool first = false;                   // its first occurrence is the first string of its scenario
    std::size_t occurrences = 0;
};

struct PoTemplate {
    std::string project;      // Project-Id-Version
    std::string description;  // the header's comment line
    CodePage codePage = kUtf8;
    std::vector<TemplateEntry> entries;
    std::unordered_map<std::string, std::size_t> byText;  // index into entries
};

// Adds the strings of a parsed listing.  A string that cannot be PO text
// is left out, with a warning in `warnings` (StringHoldsControlPicture or
// StringHoldsByteNotation, `file` the listing and `at` the string's line).
void addToTemplate(PoTemplate& pot, const StatementList& statements, const ScenarioText& where,
                   std::vector<Error>& warnings);
// The template's text, lines ended by LF.  It depends on nothing but the
// strings, their lines and the code page, so it is the same on every run.
std::string templateText(const PoTemplate& pot);

// A PO file's entries by key, ready to translate listings.  Points into the
// PoFile it was made from, which must outlive it.
struct TranslationTable {
    std::string poName;  // the PO file, as messages name it
    CodePage codePage = kUtf8;
    std::unordered_map<std::string_view, const PoEntry*> byText;  // entries without msgctxt
    std::size_t withContext = 0;  // entries with a msgctxt, which no string uses
};

// Indexes the entries of `po` (neither the header nor obsolete ones).  Two
// entries with the same key fail with PoDuplicateEntry (`at` the second's
// msgid line, `of` the first's).
Error makeTranslationTable(const PoFile& po, std::string poName, const CodePage& page, TranslationTable& table);

// A string replaced by its translation: the statement's index, and the
// bytes that replace its string (without NUL).
struct StringReplacement {
    std::uint32_t statement;
    std::string bytes;
};

// What translating a listing found: translations that cannot be written,
// each entry told once, and translations whose control bytes differ from
// their source's.  Errors name the PO file and the line of the entry's
// msgstr.
struct TranslationNotes {
    std::vector<Error> errors;
    std::vector<Error> warnings;
};

// Replaces each string whose text has a translated entry (msgstr not empty,
// not fuzzy), then gives every statement, jump and label its offset for the
// new lengths, exactly as assembling the listing with those strings written
// into it would.  Untranslated strings keep their bytes.  A translation
// whose control bytes differ from its source's is written with a warning.
// Every translation the code page or a listing cannot hold, and every
// plural entry, is added to `notes.errors`; then nothing is changed and the
// first is returned.
Error applyTranslations(StatementList& statements, LabelList& labels, const ScenarioText& where,
                        const TranslationTable& table, TranslationNotes& notes,
                        std::vector<StringReplacement>& replaced);

// How far a listing is translated, counting each distinct string once.
struct TranslationCounts {
    std::size_t strings = 0;
    std::size_t translated = 0;
    std::size_t fuzzy = 0;
    std::size_t untranslated = 0;
    std::size_t withHighBytes = 0;  // strings holding bytes from 0x80 up
    std::size_t undecoded = 0;      // ... of which some the code page does not define
};

// Counts the strings of a listing in `page` against `table` (none: every
// string untranslated); the entries that strings use are added to `used`.
void countTranslations(const StatementList& statements, const CodePage& page, const TranslationTable* table,
                       TranslationCounts& counts, std::unordered_set<const PoEntry*>* used = nullptr);

// The scenario's name for a path: its file name without directory and extension.
std::string scenarioName(std::string_view path);

}  // namespace pactools

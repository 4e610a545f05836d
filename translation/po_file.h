// gettext PO files (and POT templates), as translation tools write them:
// entries of comments, an optional context, a source string and its
// translation.  Knows nothing of scenarios.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "error.h"

namespace pactools {

struct PoEntry {
    std::vector<std::string> translatorComments;  // "# ..."
    std::vector<std::string> extractedComments;   // "#. ..."
    std::vector<std::string> references;          // "#: ..."
    std::vector<std::string> flags;               // "#, fuzzy, c-format" split at commas
    bool hasContext = false;
    std::string context;  // msgctxt
    std::string id;       // msgid
    bool plural = false;  // has msgid_plural (and msgstr[N])
    std::string translation;  // msgstr (msgstr[0] of a plural entry)
    bool obsolete = false;    // "#~" entry
    std::size_t line = 0;             // the line of its msgid (1-based)
    std::size_t translationLine = 0;  // the line of its msgstr (msgstr[0])

    bool isHeader() const { return !hasContext && id.empty() && !obsolete; }
    bool hasFlag(std::string_view flag) const;
};

struct PoFile {
    std::vector<PoEntry> entries;  // the header, if any, first as written
    // A field of the header ("X-Code-Page"), or "" when absent.
    std::string headerField(std::string_view name) const;
};

// A PO file's entries as msgfmt --statistics counts them: neither the
// header nor obsolete entries; a fuzzy entry whose msgstr is empty is
// untranslated.
struct PoCounts {
    std::size_t translated = 0;
    std::size_t fuzzy = 0;
    std::size_t untranslated = 0;
};
PoCounts countEntries(const PoFile& po);

// Reads a PO file's text (UTF-8; LF or CR LF).  Accepts wrapped strings,
// comments of every kind, "#|" previous strings, "#~" obsolete entries,
// flags, escapes (\n \t \" \\ \ooo \xHH ...) and control bytes written raw.
// A file that is not well formed fails with PoSyntax, `at` its line and
// `detail` what is wrong.
Error readPo(std::string_view text, PoFile& po);

// A string as a PO file writes it, between quotes: '"' and '\' escaped, LF
// as \n, tab as \t, other bytes below 0x20 as three-digit octal escapes (gettext reads
// "\x" on as long as hex digits follow, so those are never used).
std::string poQuoted(std::string_view text);

// A whole entry: its comments, msgctxt when it has one, msgid and msgstr.
std::string poEntryText(const PoEntry& entry);

}  // namespace pactools

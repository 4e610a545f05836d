// Member names as text.  An archive holds each name as bytes; this run
// reads them either in the code page given with --code-page (decoded
// strictly, checked as characters, and reaching the file system as Unicode:
// UTF-8 names on Linux, UTF-16 on Windows), or as the system reads file
// names (their bytes on POSIX; on Windows the ANSI code page, as Windows'
// ANSI file functions read them).  Every check of a name, every message and
// every file path works on its text; the archive and the list file keep
// what rebuilds the archive byte for byte.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "code_page.h"
#include "error.h"
#include "pac_format.h"
#include "ptrvector.h"

namespace pactools {

struct NameReading {
    std::optional<CodePage> codePage;  // --code-page, when given
};

// The text of the name `name` (UTF-8; on POSIX without a code page, the
// bytes themselves).  With a code page, fails with NameNotInCodePage when
// the bytes do not decode, or decode to characters the code page writes
// with other bytes (the archive could not be rebuilt from the text).
Error nameText(const NameReading& reading, std::string_view name, std::string& text);

// The bytes the member of text `text` takes in the archive: with a code
// page, the text encoded (NameTextNotInCodePage when a character has no
// form there); without, the text itself.
Error nameBytes(const NameReading& reading, std::string_view text, std::string& name);

// Gives every entry its text; fails at the first name that does not read
// (`file` the archive, `name` the bytes, `at` its number).
Error readNameTexts(const NameReading& reading, PtrVector<PacEntry>& entries, std::string_view archiveName);

// Without a code page: the code pages in which every name decodes while
// some do not read as the system's (on POSIX: as UTF-8), as "CP932" or
// "CP932, CP936"; empty when the names read as the system's or no page fits.
std::string codePagesTheNamesSuggest(const PtrVector<PacEntry>& entries);

}  // namespace pactools

// The list file that travels with an archive (data.pac -> data.pac.list).
// Its first line holds the header's two opaque values in hexadecimal
// ("%X %X"), and, when the names were read in a code page (pactool
// --code-page), that code page's name ("0 0 CP932"); every further line is
// one member name, in archive order, taken as it stands (an empty line is
// an empty name): the name's bytes, or with a code page its text in UTF-8.
// Lines end in LF, CR LF or CR; a UTF-8 byte order mark at the start is
// skipped.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "code_page.h"
#include "error.h"
#include "pac_format.h"
#include "ptrvector.h"

namespace pactools {

// The archive path with ".list" appended.
std::string listFileName(std::string_view pacPath);

// Reads a list file's text into the header's opaque values and the names;
// `codePage`, when given, gets the code page the names are text in (none:
// they are bytes).  Another word after the numbers is passed over, as it
// always was.  Fails with ListEmpty (no first line), ListInvalid (a first
// line without two numbers) or ListHeaderWordTooLarge.
Error readList(std::string_view text, PtrVector<std::string>& names, PacHeader& header,
               std::optional<CodePage>* codePage = nullptr);

// The list file for an archive, in canonical form, lines ended by
// `lineEnd`: the entries' names, or with `codePage` their texts.
std::string listText(const PacHeader& header, const PtrVector<PacEntry>& entries, std::string_view lineEnd,
                     const std::optional<CodePage>& codePage = {});

}  // namespace pactools

// The list file that travels with an archive (data.pac -> data.pac.list).
// Its first line holds the header's two opaque values in hexadecimal
// ("%X %X"); every further line is one member name, in archive order, taken
// as it stands (an empty line is an empty name).  Lines end in LF, CR LF or
// CR; a UTF-8 byte order mark at the start is skipped.
#pragma once

#include <string>
#include <string_view>

#include "error.h"
#include "pac_format.h"
#include "ptrvector.h"

namespace pactools {

// The archive path with ".list" appended.
std::string listFileName(std::string_view pacPath);

// Reads a list file's text into the header's opaque values and the names.
// Fails with ListEmpty (no first line), ListInvalid (a first line without
// two numbers) or ListHeaderWordTooLarge.
Error readList(std::string_view text, PtrVector<std::string>& names, PacHeader& header);

// The list file for an archive, in canonical form, lines ended by `lineEnd`.
std::string listText(const PacHeader& header, const PtrVector<PacEntry>& entries, std::string_view lineEnd);

}  // namespace pactools

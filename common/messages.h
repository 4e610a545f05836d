// Errors put into words: the text of every Error of both tools is here.
// The other lines the tools print live with the code that prints them: the
// usage texts with each tool's command line (pactool_cli.cpp,
// scntool_cli.cpp), the progress lines (Compressing, Extracting, OK ...)
// and summaries with their commands, and the reasons a PO file is refused
// with the PO reader (po_file.cpp).  Their wording and punctuation are part
// of the tools' interface (users and scripts read them, the makefile's
// users see them), so change none lightly.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "error.h"

namespace pactools {

// The message line of an error, without its line end.  Names and paths in
// it show control characters escaped.
std::string messageText(const Error& error);

// A member name (or a listing's label: bytes from a file) as messages show
// it: as the characters the system reads its bytes as (platform::textOfName;
// on POSIX its bytes), control characters escaped.
std::string shownName(std::string_view name);

// True for the messages that give no reason of their own ("Can't open
// NAME"): the system's reason then follows on standard error.
bool needsReason(const Error& error);

// Prints the message on `out` and, where the message gives no reason, the
// reason on standard error as "TOOL: FILE: REASON" (the system's, or what
// is wrong with an invalid list file).
void report(std::FILE* out, const char* tool, const Error& error);

}  // namespace pactools

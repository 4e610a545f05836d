// Errors put into words and printed.  Each library words its own faults
// (its *_faults.cpp: common_faults, translation_faults, pac_faults,
// pactool_faults, scenario_faults, scntool_faults); this unit asks the
// fault's library for its message and prints it.  The other lines the tools
// print live with the code that prints them: the usage texts with each
// tool's command line (pactool_cli.cpp, scntool_cli.cpp), the progress
// lines (Compressing, Extracting, OK ...) and summaries with their
// commands, and the reasons a PO file is refused with the PO reader
// (po_file.cpp).  Their wording and punctuation are part of the tools'
// interface (users and scripts read them, the makefile's users see them),
// so change none lightly.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "error.h"

namespace pactools {

// The message line of an error, without its line end.  Names and paths in
// it show control characters escaped.
std::string messageText(const Error& error);

// Bytes from a file that are no text yet (a listing's label, a member name
// before it is read as text) as messages show them: as the characters the
// system reads them as (platform::textOfName; on POSIX the bytes),
// control characters escaped.  Member names as text are shown with shown().
std::string shownName(std::string_view name);

// True for the messages that give no reason of their own ("Can't open
// NAME"): the system's reason then follows on standard error.
bool needsReason(const Error& error);

// Pieces of the tools' wording, for the libraries' messages: a number in
// decimal, in hexadecimal (upper case, at least `width` digits), "FILE:
// WHAT at offset 0xAT", and "FILE: Refusing to VERB NAME: REASON".
std::string number(std::uint64_t value);
std::string hex(std::uint64_t value, int width = 0);
std::string atOffset(const Error& e, const char* what);
std::string refusing(const Error& e, const std::string& reason);

// Prints the message on `out` and, where the message gives no reason, the
// reason on standard error as "TOOL: FILE: REASON" (the system's, or what
// is wrong with an invalid list file).
void report(std::FILE* out, const char* tool, const Error& error);

}  // namespace pactools

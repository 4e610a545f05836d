// Errors put into words.  Every message text of both tools is here; their
// wording and punctuation are part of the tools' interface (users and
// scripts read them, the makefile's users see them), so change none lightly.
#pragma once

#include <cstdio>
#include <string>

#include "error.h"

namespace pactools {

// The message line of an error, without its line end.  Names and paths in
// it show control characters escaped.
std::string messageText(const Error& error);

// True for the messages that give no reason of their own ("Can't open
// NAME"): the system's reason then follows on standard error.
bool needsReason(const Error& error);

// Prints the message on `out` and, where the message gives no reason, the
// reason on standard error as "TOOL: FILE: REASON" (the system's, or what
// is wrong with an invalid list file).
void report(std::FILE* out, const char* tool, const Error& error);

}  // namespace pactools

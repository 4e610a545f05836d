// Member names come from archives that other people share: before anything
// is written, extract and archive make sure that no name reaches outside the
// working directory, takes the place of a file the edit cycle needs (the
// archive, its list file, the makefile, scntool's records), lands on the
// same file as another member, or, on Windows, means something else to the
// system.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "error.h"

namespace pactools {

// A name Windows would not take as an ordinary file name: a component
// (between '\' and '/') that is a device name (CON, PRN, AUX, NUL, COM1 to
// COM9, LPT1 to LPT9, CONIN$, CONOUT$ in any letter case, with or without
// an extension), that ends in a dot or a space, or that holds ':', one of
// < > " | ? * or a byte below 0x20.
bool isWindowsMisreadName(std::string_view name);

// The form under which Windows finds a path: '/' between components, ASCII
// letters in lower case, trailing dots and spaces of each component dropped,
// empty and "." components dropped.  Names with equal keys are one file there.
std::string fileKey(std::string_view path);

// Checks the members' names before `verb` ("extract" or "archive") writes
// anything; `source` names what the names came from in the message.  False
// for the first name that is unsafe (absolute, a drive letter, "..",
// empty, a line break), would replace the archive at `pacPath`, its list
// file or a makefile, lies in scntool's record folder (work_folder.h, in
// any letter case, trailing dots and spaces aside, on every system), names
// the same file as an earlier member, or (on Windows) would be misread.
Error checkMemberNames(const std::vector<std::string_view>& names, const std::string& pacPath, std::string_view source,
                       std::string_view verb);

}  // namespace pactools

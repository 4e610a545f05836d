// Member names come from archives that other people share: before anything
// is written, extract and archive make sure that no name reaches outside the
// working directory, takes the place of a file the edit cycle needs (the
// archive, its list file, the makefile, scntool's records), lands on the
// same file as another member, or, on Windows, means something else to the
// system.
#pragma once

#include <string>
#include <string_view>
#include <optional>
#include <vector>

#include "error.h"
#include "platform.h"

namespace pactools {

// A name Windows would not take as an ordinary file name: a component
// (between '\' and '/') that is a device name (CON, PRN, AUX, NUL, COM1 to
// COM9, LPT1 to LPT9, CONIN$, CONOUT$ in any letter case, with or without
// an extension), that ends in a dot or a space, or that holds ':', one of
// < > " | ? * or a byte below 0x20.
bool isWindowsMisreadName(std::string_view name);

// The form under which Windows finds a path: '/' between components, every
// character in upper case as Windows' file systems fold it (the simple
// upper-case mappings of the Basic Multilingual Plane; bytes that are no
// UTF-8 stay), trailing dots and spaces of each component dropped, empty
// and "." components dropped.  Names with equal keys are one file there.
std::string fileKey(std::string_view path);

// Whether `shortName` has the form of a short 8.3 name Windows may give to
// `longName` in the same folder (SCENAR~1.BIN, or SC3F0A~1.BIN once four
// such names are taken, for scenario01.bin): then the two may be one file
// there.  A long name that is a valid short name itself gets no other.
bool mayBeShortNameOf(std::string_view shortName, std::string_view longName);

// Checks the members' names (their texts) before `verb` ("extract" or
// "archive") writes anything; `source` names what the names came from in
// the message.  Fails for the first name that is unsafe (absolute, a drive
// letter, "..", empty, a line break), would replace the archive at
// `pacPath`, its list file, a makefile or scntool's records, has the form
// of the tools' temporary files, names the same file as an earlier member
// on Windows (fileKey), may be the short 8.3 name of another member or of
// its folder there (NameMayBeShortName), or (on Windows) would be misread.
Error checkMemberNames(const std::vector<std::string_view>& names, const std::string& pacPath, std::string_view source,
                       std::string_view verb);

// Where names cannot tell (short names, file systems that fold letters
// otherwise), the files themselves do: fails with NameSameFile when the
// files of two members already exist and are one file (the same device and
// inode, or volume and file index).  `existing`, when given, gets each
// member's file as it is now (nothing for a file that does not exist).
Error checkDistinctFiles(const std::vector<std::string_view>& names, std::string_view source, std::string_view verb,
                         std::vector<std::optional<platform::FileIdentity>>* existing = nullptr);

}  // namespace pactools

// The makefile that `pactool extract` writes beside the members.  It takes
// QVXPACTOOL, QVXTOOL, GAME_DIR and optionally CODE_PAGE and
// TRANSLATIONS from ../makefile.conf and has the targets all (the archive,
// after scntool --build has brought every scenario's binary up to date with
// its listing and translations), extract, decompile (every .bin member to
// its .txt listing), pot (a gettext template of every scenario), status
// and install.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "error.h"
#include "pac_format.h"
#include "work_folder.h"

namespace pactools {

// True when make and the shell read `name` (text: UTF-8, or bytes on POSIX)
// as one plain word: it holds only letters, digits, characters beyond
// ASCII, '.', '_', '-', '+', '/', ',' and '\' (written as '/').  An
// archive path may also start with a drive ("C:\") on Windows.
bool isMakefileSafe(std::string_view name);
bool isMakefileSafeArchivePath(std::string_view path);

// The makefile's targets, for messages: "all, extract, ...".
std::string makefileTargets();

// The makefile's text for the archive at `pacPath` (a path, as the command
// line gave it) with these members, lines ended by `lineEnd`, and in
// `scenarioList` the text of kScenarioListFile: the scenarios' names in
// UTF-8 (as the list file holds them), '/' between folders.  A name is never code: when the archive path or
// a member name is not makefile-safe, or a member is named like one of the
// makefile's targets (in any letter case), there is no makefile
// (MakefileUnsafeArchive, MakefileUnsafeMember, MakefileTargetMember).
// A .bin member beside a member named like its listing, PO file or
// template (NAME.txt, NAME.po, NAME.pot in any letter case) is not a
// scenario: it is packed as it is, and `notes` tells why
// (MakefileNotAScenario).
Error makefileText(std::string_view pacPath, const PtrVector<PacEntry>& entries, std::string_view lineEnd,
                   std::string& text, std::vector<Error>& notes, std::string* scenarioList = nullptr);

}  // namespace pactools

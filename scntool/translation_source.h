// A PO file read for assembling listings: read once, checked, and indexed by
// key, whether it serves one scenario (NAME.po beside NAME.txt) or a whole
// project (--po game.po).
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "code_page.h"
#include "po_file.h"
#include "translation.h"

namespace pactools {

struct Translations {
    PoFile po;
    TranslationTable table;  // points into `po`
    std::string fileHash;    // of the PO file's bytes
};

// Reads the PO file `path` ("Processing: PATH" once it is open, when
// `announce`): it must be
// well formed and UTF-8, with no two entries of one key.  The code page is
// `codePage` (--code-page) or else the file's X-Code-Page or else UTF-8;
// both given and different is an error.  Prints errors and warnings on
// `out`; null when it failed.
std::unique_ptr<Translations> loadTranslations(const std::string& path, const std::optional<CodePage>& codePage,
                                               std::FILE* out, bool announce = true);

}  // namespace pactools

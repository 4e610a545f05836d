// scntool's work on one file: a binary scenario (.bin) is listed into a text
// listing (.txt) of the same name, and a listing is assembled into a binary
// scenario.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <optional>

#include "code_page.h"

namespace pactools {

// Position of the extension's '.': the last '.' after the last '/' or '\',
// or npos when there is none.
std::size_t findExtension(std::string_view path);

// The output file for assembling `txtPath` (whose extension starts at
// `dot`): STEM.bin, or an existing STEM.BIN (any letter case of ".bin")
// beside it, which is then replaced instead of creating a second file.
std::string binaryOutputName(std::string_view txtPath, std::size_t dot);

// Lists the binary scenario `binPath` into `txtPath`, then warns when the
// listing would not assemble back to the same binary.  Prints progress,
// errors and warnings on `out`; false when it failed.
bool listBinary(const std::string& binPath, const std::string& txtPath, std::FILE* out);

// Assembles the listing `txtPath` into `binPath`.
bool assembleListing(const std::string& txtPath, const std::string& binPath, std::FILE* out);

struct ConvertOptions {
    std::optional<CodePage> codePage;  // --code-page, when given
};

// Converts one file in the direction its extension gives: NAME.bin is
// listed, NAME.txt assembled, and NAME.po assembled from NAME.txt with its
// translations.
bool convertFile(const std::string& path, const ConvertOptions& options, std::FILE* out);

// Writes the template NAME.pot of NAME.bin or NAME.txt beside it, from the
// listing NAME.txt (made first from NAME.bin when it is missing).
bool writeTemplate(const std::string& path, const ConvertOptions& options, std::FILE* out);

}  // namespace pactools

// scntool's work on one file: a binary scenario (.bin) is listed into a text
// listing (.txt) of the same name, a listing is assembled into a binary
// scenario, with the translations of a PO file when there are some.  What
// listing and assembling share is here too.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "code_page.h"
#include "error.h"
#include "translation_source.h"

namespace pactools {

struct ConvertOptions {
    std::optional<CodePage> codePage;  // --code-page, when given
    std::string po;                    // --po: one PO file for every listing
};

// Position of the extension's '.': the last '.' after the last '/' or '\',
// or npos when there is none.
std::size_t findExtension(std::string_view path);

// What an argument names, by its extension in any letter case: a binary
// scenario (.bin), a listing (.txt), translations (.po), or nothing scntool
// takes.
enum class PathKind { Binary, Listing, Translations, Other };
PathKind pathKind(std::string_view path);

// The output file for assembling `txtPath` (whose extension starts at
// `dot`): STEM.bin, or an existing STEM.BIN (any letter case of ".bin")
// beside it, which is then replaced instead of creating a second file.
std::string binaryOutputName(std::string_view txtPath, std::size_t dot);

// The translations of the scenario whose files are STEM.*: the project's
// (`project`, from --po) when given, else STEM.po when it exists (read into
// `own`), else none.  False when STEM.po exists but cannot be used.
bool translationsFor(const std::string& stem, const ConvertOptions& options, const Translations* project,
                     std::unique_ptr<Translations>& own, const Translations*& translations, std::FILE* out,
                     bool announce = true);

// The steps of assembling, for telling where it failed.
enum class AssemblyStep { Parsing, Translating, Writing, Checking };

// Assembles a listing's text in memory, with `translations` when given (and
// then checks the result against the listing before handing it out).
// `listingName` names the listing in messages; what translating found goes
// to `notes` (every translation that cannot be written, and warnings) and
// the step that failed to `failed`, when given.
Error assembleInMemory(std::string_view listing, const std::string& listingName, const Translations* translations,
                       std::vector<std::uint8_t>& binary, TranslationNotes* notes, AssemblyStep* failed = nullptr);

// Whether two binary scenarios are the same, the reserved first word
// (always assembled as 0) aside.
bool sameScenario(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b);

// Converts one file in the direction its extension gives: NAME.bin is
// listed, NAME.txt assembled (with the `project` translations when given),
// and NAME.po assembled from NAME.txt with its translations.
bool convertFile(const std::string& path, const ConvertOptions& options, const Translations* project, std::FILE* out);

}  // namespace pactools

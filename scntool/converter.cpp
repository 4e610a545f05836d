#include "converter.h"

#include <algorithm>

#include "assembly_check.h"
#include "build_command.h"
#include "file_io.h"
#include "listing_command.h"
#include "listing_parser.h"
#include "messages.h"
#include "platform.h"
#include "scenario_binary.h"
#include "scenario_record.h"
#include "scntool_faults.h"
#include "scntool_output.h"
#include "text.h"
#include "translation.h"

namespace pactools {

std::size_t findExtension(std::string_view path) {
    const std::size_t dot = lastPathComponent(path).rfind('.');
    return dot == std::string_view::npos ? dot : path.size() - lastPathComponent(path).size() + dot;
}

PathKind pathKind(std::string_view path) {
    const std::size_t dot = findExtension(path);
    const std::string_view extension = dot == std::string_view::npos ? std::string_view() : path.substr(dot);
    if (equalsIgnoreCase(extension, ".bin")) return PathKind::Binary;
    if (equalsIgnoreCase(extension, ".txt")) return PathKind::Listing;
    if (equalsIgnoreCase(extension, ".po")) return PathKind::Translations;
    return PathKind::Other;
}

std::string binaryOutputName(std::string_view txtPath, std::size_t dot) {
    const std::string stem(txtPath.substr(0, dot));
    if (!platform::kWindows) {
        // On a case-sensitive file system, an existing STEM.BIN is the file meant.
        for (const char* ending : {".bin", ".BIN", ".Bin", ".BIn", ".BiN", ".bIN", ".bIn", ".biN"}) {
            if (pathExists(stem + ending)) return stem + ending;
        }
    }
    return stem + ".bin";
}

bool translationsFor(const std::string& stem, const ConvertOptions& options, const Translations* project,
                     std::unique_ptr<Translations>& own, const Translations*& translations, std::FILE* out,
                     bool announce) {
    translations = project;
    if (project != nullptr || !pathExists(stem + ".po")) return true;
    own = loadTranslations(stem + ".po", options.codePage, out, announce);
    translations = own.get();
    return own != nullptr;
}

bool sameScenario(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    if (a.size() != b.size()) return false;
    const std::size_t from = a.size() >= kScenarioHeaderSize ? 4 : 0;
    return std::equal(a.begin() + static_cast<std::ptrdiff_t>(from), a.end(), b.begin() + static_cast<std::ptrdiff_t>(from));
}

Error assembleInMemory(std::string_view listing, const std::string& listingName, const Translations* translations,
                       std::vector<std::uint8_t>& binary, TranslationNotes* notes, AssemblyStep* failed) {
    AssemblyStep ignoredStep = AssemblyStep::Parsing;
    AssemblyStep& step = failed != nullptr ? *failed : ignoredStep;
    StatementList statements;
    LabelList labels;
    initScenarioLists(statements, labels);
    ScenarioText where;
    where.listing = listingName;
    step = AssemblyStep::Parsing;
    if (Error error = parseText(listing, statements, labels, &where.lines)) return error;
    std::vector<StringReplacement> replaced;
    if (translations != nullptr) {
        step = AssemblyStep::Translating;
        TranslationNotes ignored;
        if (Error error = applyTranslations(statements, labels, where, translations->table,
                                            notes != nullptr ? *notes : ignored, replaced)) {
            return error;
        }
    }
    step = AssemblyStep::Writing;
    if (Error error = writeBinary(statements, binary)) return error;
    if (translations == nullptr) return {};
    step = AssemblyStep::Checking;
    Error error = checkTranslatedBinary(listing, replaced, binary);
    if (error) error.file = listingName;
    return error;
}

bool convertFile(const std::string& path, const ConvertOptions& options, const Translations* project, std::FILE* out) {
    const std::size_t dot = findExtension(path);
    const std::string stem = path.substr(0, dot == std::string::npos ? path.size() : dot);
    const PathKind kind = pathKind(path);
    if (kind == PathKind::Binary) {
        // Translations only matter for deciding whether a listing there is kept.
        std::unique_ptr<Translations> own;
        const Translations* translations = nullptr;
        // (and only for a listing without a record).
        if (pathExists(stem + ".txt") && !pathExists(recordPath(stem)) &&
            !translationsFor(stem, options, project, own, translations, out)) {
            return false;
        }
        return listBinary(path, stem + ".txt", translations, out);
    }
    if (kind == PathKind::Listing) return assembleListing(path, project, out);
    if (kind == PathKind::Translations) {
        if (project != nullptr) {
            report(out, kTool, fileError(ScntoolFault::PoGivenTwice, path));
            return false;
        }
        const std::unique_ptr<Translations> translations = loadTranslations(path, options.codePage, out);
        return translations != nullptr && assembleListing(stem + ".txt", translations.get(), out);
    }
    report(out, kTool, fileError(ScntoolFault::ExtensionRefused, path));
    return false;
}

}  // namespace pactools

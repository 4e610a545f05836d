#include "converter.h"

#include <algorithm>

#include "assembly_check.h"
#include "translation.h"
#include "file_io.h"
#include "listing_parser.h"
#include "listing_writer.h"
#include "messages.h"
#include "platform.h"
#include "scenario_binary.h"
#include "scntool_output.h"
#include "text.h"

namespace pactools {

namespace {

// Assembles a listing just written and compares the result with the binary
// it came from (the reserved word aside, which is always written as 0).
// Anything the listing cannot carry shows up here.
void checkListing(const std::string& path, const std::string& listing, const std::vector<std::uint8_t>& original,
                  std::FILE* out) {
    std::vector<std::uint8_t> rebuilt;
    if (Error error = assembleInMemory(listing, path, nullptr, rebuilt, nullptr)) {
        Error warning = fileError(Fault::ListingDoesNotAssemble, path);
        warning.detail = messageText(error);
        report(out, kTool, warning);
        return;
    }
    std::size_t at = original.size() >= kScenarioHeaderSize ? 4 : 0;
    const std::size_t common = std::min(original.size(), rebuilt.size());
    while (at < common && original[at] == rebuilt[at]) ++at;
    if (at < common || original.size() != rebuilt.size()) {
        Error warning = fileError(Fault::ListingDiffers, path);
        warning.at = at;
        report(out, kTool, warning);
    }
}

// What listing a binary scenario again makes of the listing already there.
struct ListingVerdict {
    bool kept = false;              // the listing is the binary's source
    bool withTranslations = false;  // ... with the translations
    std::size_t otherTranslation = 0;  // ... with other translations of the strings: the first line that differs
    Error error;                    // the listing cannot be compared (it does not assemble)
};

// Whether the listing `listing` (at `txtPath`) is the source of `binary`:
// it assembles to it, without translations or with them, or the binary
// differs from it only in strings that the translations translate (it was
// built with earlier translations of them).
ListingVerdict judgeListing(std::string_view listing, const std::string& txtPath, const std::vector<std::uint8_t>& binary,
                            const Translations* translations) {
    ListingVerdict verdict;
    std::vector<std::uint8_t> assembled;
    verdict.error = assembleInMemory(listing, txtPath, nullptr, assembled, nullptr);
    if (verdict.error.fault == Fault::ScenarioEmpty) verdict.error = {};  // nothing in it to lose
    if (verdict.error || assembled.empty()) return verdict;
    verdict.kept = sameScenario(assembled, binary);
    if (verdict.kept || translations == nullptr) return verdict;
    verdict.error = assembleInMemory(listing, txtPath, translations, assembled, nullptr);
    if (verdict.error) return verdict;
    verdict.kept = verdict.withTranslations = sameScenario(assembled, binary);
    if (verdict.kept) return verdict;
    const TranslationTable& table = translations->table;
    std::string text;
    const Error different = compareWithListing(
        listing, binary,
        [&](std::uint32_t, std::size_t line, std::span<const std::uint8_t> listed,
            std::span<const std::uint8_t> got) -> const char* {
            if (std::equal(listed.begin(), listed.end(), got.begin(), got.end())) return nullptr;
            const auto entry = stringAsPoText(table.codePage, asText(listed), text) == Fault::None
                                   ? table.byText.find(text)
                                   : table.byText.end();
            if (entry == table.byText.end() || entry->second->translation.empty()) return "another string";
            // Not the translation the PO file holds now: the first such line is told.
            std::string now;
            std::uint32_t character = 0;
            const bool current = poTextAsString(table.codePage, entry->second->translation, asText(listed), now,
                                                character) == Fault::None &&
                                 std::equal(now.begin(), now.end(), got.begin(), got.end(),
                                            [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
            if (!current && verdict.otherTranslation == 0) verdict.otherTranslation = line;
            return nullptr;
        });
    verdict.kept = verdict.withTranslations = !different;
    return verdict;
}

}  // namespace

std::size_t findExtension(std::string_view path) {
    const std::size_t separator = path.find_last_of("/\\");
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (separator != std::string_view::npos && dot < separator)) {
        return std::string_view::npos;
    }
    return dot;
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
                       std::vector<std::uint8_t>& binary, std::vector<Error>* warnings, AssemblyStep* failed) {
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
        std::vector<Error> ignored;
        if (Error error = applyTranslations(statements, labels, where, translations->table,
                                            warnings != nullptr ? *warnings : ignored, replaced)) {
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

bool listBinary(const std::string& binPath, const std::string& txtPath, const Translations* translations,
                std::FILE* out) {
    std::vector<std::uint8_t> bytes;
    if (!readInput(binPath, bytes, out)) return false;
    std::vector<std::uint8_t> old;
    const bool hadListing = pathExists(txtPath) && !readWholeFile(txtPath, old);
    OutputFile output;
    if (Error error = output.create(txtPath)) {
        report(out, kTool, error.as(Fault::CannotCreateScenario));
        return false;
    }
    output.takeTimeOf(binPath);  // so make does not take the binary for older than its listing
    StatementList statements;
    LabelList labels;
    initScenarioLists(statements, labels);
    if (Error error = readBinary(bytes, binPath, statements, labels)) {
        report(out, kTool, error);
        say(out, "%s", kReadingFailed);
        return false;
    }
    std::string listing;
    if (Error error = writeText(statements, labels, listing)) {
        listing += messageText(error) + "\n";  // the listing ends with the reason
        say(out, "%s", kWritingFailed);
        return false;
    }
    const std::string text = withLineEnds(listing, kNativeLineEnd);
    // A listing that is the binary's source stays as it is: it may hold the
    // user's labels, and it is the source of its translations' msgids.  Any
    // other is listed again (a new version of the scenario); one that does
    // not assemble is the user's unfinished work, and is not replaced.
    if (hadListing && asText(old) != text) {
        const ListingVerdict verdict = judgeListing(asText(old), txtPath, bytes, translations);
        if (verdict.error) {
            report(out, kTool, verdict.error);
            Error kept = fileError(Fault::ListingNotAssembling, txtPath);
            kept.name = binPath;
            report(out, kTool, kept);
            return false;
        }
        if (verdict.kept) {
            Error kept = fileError(verdict.otherTranslation != 0 ? Fault::ListingKeptOtherTranslations : Fault::ListingKept,
                                   txtPath);
            kept.name = binPath;
            kept.at = verdict.otherTranslation;
            if (verdict.withTranslations) kept.other = translations->table.poName;
            report(out, kTool, kept);
            return true;
        }
    }
    if (!writeOutput(output, asBytes(text), out)) return false;
    if (hadListing && asText(old) != text) {
        Error refreshed = fileError(Fault::ListingRefreshed, txtPath);
        refreshed.name = binPath;
        report(out, kTool, refreshed);
    }
    checkListing(binPath, listing, bytes, out);
    return true;
}

bool assembleListing(const std::string& txtPath, const std::string& binPath, const Translations* translations,
                     std::FILE* out) {
    std::vector<std::uint8_t> bytes;
    if (!readInput(txtPath, bytes, out)) return false;
    OutputFile output;
    if (Error error = output.create(binPath)) {
        report(out, kTool, error.as(Fault::CannotCreateScenario));
        return false;
    }
    std::vector<std::uint8_t> binary;
    std::vector<Error> warnings;
    AssemblyStep failed = AssemblyStep::Parsing;
    const Error error = assembleInMemory(asText(bytes), txtPath, translations, binary, &warnings, &failed);
    for (const Error& warning : warnings) report(out, kTool, warning);
    if (error) {
        report(out, kTool, error);
        if (failed == AssemblyStep::Parsing) say(out, "%s", kReadingFailed);
        if (failed == AssemblyStep::Writing) say(out, "%s", kWritingFailed);
        return false;
    }
    return writeOutput(output, binary, out);
}

bool convertFile(const std::string& path, const ConvertOptions& options, const Translations* project, std::FILE* out) {
    const std::size_t dot = findExtension(path);
    const std::string_view extension = dot == std::string::npos ? std::string_view() : std::string_view(path).substr(dot);
    const std::string stem = path.substr(0, dot == std::string::npos ? path.size() : dot);
    if (equalsIgnoreCase(extension, ".bin")) {
        // Translations only matter for deciding whether a listing there is kept.
        std::unique_ptr<Translations> own;
        const Translations* translations = nullptr;
        if (pathExists(stem + ".txt") && !translationsFor(stem, options, project, own, translations, out)) return false;
        return listBinary(path, stem + ".txt", translations, out);
    }
    if (equalsIgnoreCase(extension, ".txt")) return assembleListing(path, binaryOutputName(path, dot), project, out);
    if (equalsIgnoreCase(extension, ".po")) {
        if (project != nullptr) {
            report(out, kTool, fileError(Fault::PoGivenTwice, path));
            return false;
        }
        const std::unique_ptr<Translations> translations = loadTranslations(path, options.codePage, out);
        return translations != nullptr && assembleListing(stem + ".txt", binaryOutputName(path, dot), translations.get(), out);
    }
    report(out, kTool, fileError(Fault::ExtensionRefused, path));
    return false;
}

}  // namespace pactools

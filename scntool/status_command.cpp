#include "status_command.h"

#include "file_io.h"
#include "listing_parser.h"
#include "messages.h"
#include "scntool_output.h"
#include "text.h"

namespace pactools {

namespace {

enum class BinaryState { UpToDate, NotFromTranslations, NotFromListing, Missing, CannotBeBuilt };

const char* stateText(BinaryState state) {
    switch (state) {
    case BinaryState::UpToDate: return "up to date";
    case BinaryState::NotFromTranslations: return "not built from its translations";
    case BinaryState::NotFromListing: return "not built from its listing";
    case BinaryState::Missing: return "missing";
    case BinaryState::CannotBeBuilt: return "cannot be built (see above)";
    }
    return "";
}

std::string countsText(const TranslationCounts& counts) {
    return std::to_string(counts.strings) + " strings: " + std::to_string(counts.translated) + " translated, " +
           std::to_string(counts.fuzzy) + " fuzzy, " + std::to_string(counts.untranslated) + " untranslated";
}

// The counts and binary state of one scenario; false (after a message)
// when its listing or PO file cannot be read.
bool scenarioStatus(const std::string& path, const ConvertOptions& options, const Translations* project,
                    TranslationCounts& counts, BinaryState& state, std::string& binPath, std::FILE* out) {
    const std::size_t dot = findExtension(path);
    const std::string_view extension = dot == std::string::npos ? std::string_view() : std::string_view(path).substr(dot);
    if (!equalsIgnoreCase(extension, ".bin") && !equalsIgnoreCase(extension, ".txt") &&
        !equalsIgnoreCase(extension, ".po")) {
        report(out, kTool, fileError(Fault::ExtensionRefused, path));
        return false;
    }
    const std::string stem = path.substr(0, dot);
    const std::string txtPath = stem + ".txt";
    std::unique_ptr<Translations> own;
    const Translations* translations = nullptr;
    if (!translationsFor(stem, options, project, own, translations, out, false)) return false;
    std::vector<std::uint8_t> listing;
    if (Error error = readWholeFile(txtPath, listing)) {
        report(out, kTool, error.as(Fault::CannotOpenScenario));
        return false;
    }
    StatementList statements;
    LabelList labels;
    initScenarioLists(statements, labels);
    ScenarioText where;
    where.listing = txtPath;
    where.codePage = options.codePage.value_or(kUtf8);
    Error error = parseText(asText(listing), statements, labels, &where.lines);
    if (!error) error = countTranslations(statements, where, translations != nullptr ? &translations->table : nullptr, counts);
    if (error) {
        // Many listings are looked at without a "Processing" line: the message names its file.
        if (error.file.empty()) say(out, "%s: ", shown(txtPath).c_str());
        report(out, kTool, error);
        return false;
    }
    binPath = binaryOutputName(txtPath, txtPath.size() - 4);
    std::vector<std::uint8_t> binary;
    std::vector<std::uint8_t> assembled;
    const Error failure = assembleInMemory(asText(listing), txtPath, translations, assembled, nullptr);
    if (failure) {
        // What make would fail with.
        if (failure.file.empty()) say(out, "%s: ", shown(txtPath).c_str());
        report(out, kTool, failure);
        state = BinaryState::CannotBeBuilt;
    } else if (readWholeFile(binPath, binary)) {
        state = BinaryState::Missing;
    } else if (sameScenario(assembled, binary)) {
        state = BinaryState::UpToDate;
    } else {
        state = translations != nullptr ? BinaryState::NotFromTranslations : BinaryState::NotFromListing;
    }
    return true;
}

}  // namespace

bool printStatus(const std::vector<std::string>& paths, const ConvertOptions& options, const Translations* project,
                 std::FILE* out) {
    TranslationCounts total;
    std::size_t scenarios = 0;
    std::size_t stale = 0;
    bool all = true;
    for (const std::string& path : paths) {
        TranslationCounts counts;
        BinaryState state = BinaryState::Missing;
        std::string binPath;
        if (!scenarioStatus(path, options, project, counts, state, binPath, out)) {
            all = false;
            continue;
        }
        say(out, "%s: %s; %s %s\n", shown(scenarioName(path)).c_str(), countsText(counts).c_str(),
            shown(binPath).c_str(), stateText(state));
        ++scenarios;
        total.strings += counts.strings;
        total.translated += counts.translated;
        total.fuzzy += counts.fuzzy;
        total.untranslated += counts.untranslated;
        stale += state == BinaryState::UpToDate ? 0 : 1;
    }
    if (scenarios > 1) {
        say(out, "%zu scenarios: %s; %zu %s not up to date\n", scenarios, countsText(total).c_str(), stale,
            stale == 1 ? "binary" : "binaries");
    }
    return all;
}

}  // namespace pactools

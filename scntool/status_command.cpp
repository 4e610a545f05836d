#include "status_command.h"

#include <unordered_set>

#include "common_faults.h"
#include "file_io.h"
#include "listing_parser.h"
#include "messages.h"
#include "scenario_files.h"
#include "scntool_faults.h"
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

// What keeps the game from shipping, by kind.
struct Problems {
    std::size_t notListed = 0;
    std::size_t newOriginals = 0;
    std::size_t unreadable = 0;    // listings, records or PO files that cannot be read
    std::size_t notBuilt = 0;      // binaries missing, not up to date, or that cannot be built
    std::size_t badTranslations = 0;
    std::size_t controlBytes = 0;
    std::size_t codePages = 0;
    std::size_t untranslated = 0;  // strings, counted per scenario
    std::size_t fuzzy = 0;

    std::string text(bool translated) const {
        std::string list;
        const auto add = [&](std::size_t n, const char* one, const char* many) {
            if (n == 0) return;
            list += (list.empty() ? "" : ", ") + std::to_string(n) + " " + (n == 1 ? one : many);
        };
        add(notListed, "scenario not listed", "scenarios not listed");
        add(newOriginals, "new original not listed again (or listing of an earlier one)",
            "new originals not listed again (or listings of earlier ones)");
        add(unreadable, "file that cannot be read", "files that cannot be read");
        add(notBuilt, "binary not up to date", "binaries not up to date");
        add(badTranslations, "translation that cannot be written", "translations that cannot be written");
        add(controlBytes, "translation whose control bytes differ", "translations whose control bytes differ");
        add(codePages, "listing in whose code page no string decodes", "listings in whose code page no string decodes");
        if (translated) {
            add(untranslated, "string untranslated", "strings untranslated");
            add(fuzzy, "string fuzzy", "strings fuzzy");
        }
        return list;
    }
};

struct StatusRun {
    const ConvertOptions& options;
    const Translations* project;
    std::FILE* out;
    Problems problems;
    TranslationCounts total;
    std::size_t scenarios = 0;
    bool translated = false;  // some scenario has translations
    std::unordered_set<const PoEntry*> used;  // entries of the project PO file that strings use
    std::unordered_set<std::string> told;     // messages told once in the run

    void tell(const Error& error) {
        if (told.insert(messageText(error)).second) report(out, kTool, error);
    }
};

// The status of one scenario.
void scenarioStatus(const std::string& path, StatusRun& run) {
    std::FILE* out = run.out;
    const std::size_t dot = findExtension(path);
    if (pathKind(path) == PathKind::Other) {
        run.tell(fileError(ScntoolFault::ExtensionRefused, path));
        ++run.problems.unreadable;
        return;
    }
    const std::string name = shown(scenarioName(path));
    std::unique_ptr<Translations> own;
    const Translations* translations = nullptr;
    if (!translationsFor(path.substr(0, dot), run.options, run.project, own, translations, out, false)) {
        ++run.problems.unreadable;
        return;
    }
    run.translated = run.translated || translations != nullptr;
    ScenarioFiles files;
    if (Error error = inspectScenario(path, dot, files)) {
        run.tell(error.fault == CommonFault::CannotOpen ? error.as(ScntoolFault::CannotOpenScenario) : error);
        ++run.problems.unreadable;
        return;
    }
    const Provenance provenance = provenanceOf(files);
    if (provenance == Provenance::NoListing) {
        say(out, "%s: no listing: make decompile\n", name.c_str());
        ++run.problems.notListed;
        return;
    }
    if (provenance == Provenance::NewOriginal) {
        say(out, "%s: %s is a new original, not listed yet: make decompile\n", name.c_str(), shown(files.binary).c_str());
        ++run.problems.newOriginals;
        return;
    }
    std::vector<std::uint8_t> listing;
    if (Error error = readWholeFile(files.listing, listing)) {
        run.tell(error.as(ScntoolFault::CannotOpenScenario));
        ++run.problems.unreadable;
        return;
    }
    if (Error earlier = checkNotRetired(asText(listing), files)) {
        run.tell(earlier);
        ++run.problems.newOriginals;
        return;
    }
    StatementList statements;
    LabelList labels;
    initScenarioLists(statements, labels);
    std::vector<std::size_t> lines;
    if (Error error = parseText(asText(listing), statements, labels, &lines)) {
        // Many listings are looked at without a "Processing" line: the message names its file.
        if (error.file.empty()) say(out, "%s: ", shown(files.listing).c_str());
        report(out, kTool, error);
        ++run.problems.notBuilt;
        return;
    }
    TranslationCounts counts;
    const CodePage page = translations != nullptr ? translations->table.codePage : run.options.codePage.value_or(kUtf8);
    countTranslations(statements, page, translations != nullptr ? &translations->table : nullptr, counts,
                      translations == run.project ? &run.used : nullptr);
    if (counts.withHighBytes > 0 && counts.undecoded == counts.withHighBytes) {
        Error error = fileError(ScntoolFault::StringsDoNotDecode, files.listing);
        error.at = counts.withHighBytes;
        error.other = page.name;
        run.tell(error);
        ++run.problems.codePages;
    }
    // Assembled as make would: every translation that cannot be written and
    // every control-byte warning, each time.
    std::vector<std::uint8_t> assembled;
    TranslationNotes notes;
    BinaryState state = BinaryState::UpToDate;
    const Error failure = assembleInMemory(asText(listing), files.listing, translations, assembled, &notes);
    for (const Error& warning : notes.warnings) run.tell(warning);
    run.problems.controlBytes += notes.warnings.size();
    for (const Error& error : notes.errors) run.tell(error);
    run.problems.badTranslations += notes.errors.size();
    if (failure) {
        if (notes.errors.empty()) {
            if (failure.file.empty()) say(out, "%s: ", shown(files.listing).c_str());
            report(out, kTool, failure);
        }
        state = BinaryState::CannotBeBuilt;
    } else if (!files.hasBinary) {
        state = BinaryState::Missing;
    } else if (!sameScenario(assembled, files.binaryBytes)) {
        state = translations != nullptr ? BinaryState::NotFromTranslations : BinaryState::NotFromListing;
    }
    say(out, "%s: %s; %s %s\n", name.c_str(), countsText(counts).c_str(), shown(files.binary).c_str(), stateText(state));
    ++run.scenarios;
    run.total.strings += counts.strings;
    run.total.translated += counts.translated;
    run.total.fuzzy += counts.fuzzy;
    run.total.untranslated += counts.untranslated;
    if (state != BinaryState::UpToDate) ++run.problems.notBuilt;
}

}  // namespace

bool printStatus(const std::vector<std::string>& paths, const ConvertOptions& options, const Translations* project,
                 std::FILE* out, const std::string& missingPo) {
    StatusRun run{options, project, out, {}, {}, 0, project != nullptr || !missingPo.empty(), {}, {}};
    if (!missingPo.empty()) {
        run.tell(fileError(ScntoolFault::PoMissing, missingPo));
        ++run.problems.unreadable;
    }
    for (const std::string& path : paths) scenarioStatus(path, run);
    if (project != nullptr) {
        // The PO file's entries as msgfmt --statistics counts them.
        const PoCounts entries = countEntries(project->po);
        say(out, "%s: %zu entries: %zu translated, %zu fuzzy, %zu untranslated\n", shown(project->table.poName).c_str(),
            entries.translated + entries.fuzzy + entries.untranslated, entries.translated, entries.fuzzy,
            entries.untranslated);
        std::size_t usedTranslations = 0;
        for (const PoEntry* entry : run.used) usedTranslations += entry->translation.empty() ? 0 : 1;
        if (entries.translated + entries.fuzzy > 0 && usedTranslations == 0 && run.total.strings > 0) {
            Error error = fileError(ScntoolFault::TranslationsUnused, project->table.poName);
            error.at = entries.translated + entries.fuzzy;
            error.other = project->table.codePage.name;
            run.tell(error);
            ++run.problems.codePages;
        }
    }
    if (run.scenarios > 1) {
        say(out, "%zu scenarios: %s; %zu %s not up to date\n", run.scenarios, countsText(run.total).c_str(),
            run.problems.notBuilt, run.problems.notBuilt == 1 ? "binary" : "binaries");
    }
    run.problems.untranslated = run.total.untranslated;
    run.problems.fuzzy = run.total.fuzzy;
    const std::string problems = run.problems.text(run.translated);
    if (problems.empty()) {
        say(out, run.translated ? "Ready to ship: every string translated, every binary up to date.\n"
                                : "Ready to ship: every binary up to date with its listing.\n");
        return true;
    }
    say(out, "Not ready to ship: %s.\n", problems.c_str());
    return false;
}

}  // namespace pactools

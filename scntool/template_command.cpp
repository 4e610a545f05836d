#include "template_command.h"

#include "common_faults.h"
#include "file_io.h"
#include "listing_command.h"
#include "listing_parser.h"
#include "scenario_files.h"
#include "messages.h"
#include "scntool_faults.h"
#include "scntool_output.h"
#include "text.h"
#include "translation.h"

namespace pactools {

namespace {

std::string fileNameOf(const std::string& path) {
    return std::string(lastPathComponent(path));
}

// The listing of the scenario `path` (NAME.bin or NAME.txt), checked before
// any template is written: it must be the current original's source (a
// listing over a new original is listed again first, by make decompile).
// `toList` is set when NAME.bin has no listing yet and must be listed.
bool checkScenario(const std::string& path, std::string& txtPath, bool& toList, std::FILE* out) {
    const std::size_t dot = findExtension(path);
    const std::string_view extension = dot == std::string::npos ? std::string_view() : std::string_view(path).substr(dot);
    const bool fromBinary = equalsIgnoreCase(extension, ".bin");
    if (!fromBinary && !equalsIgnoreCase(extension, ".txt")) {
        report(out, kTool, fileError(ScntoolFault::ExtensionRefused, path));
        return false;
    }
    ScenarioFiles files;
    if (Error error = inspectScenario(path, dot, files)) {
        report(out, kTool, error.fault == CommonFault::CannotOpen ? error.as(ScntoolFault::CannotOpenScenario) : error);
        return false;
    }
    txtPath = files.listing;
    toList = fromBinary && !files.hasListing;
    if (provenanceOf(files) == Provenance::NewOriginal) {
        Error error = newOriginalError(files);
        error = error.as(ScntoolFault::TemplateOfOldListing);
        report(out, kTool, error);
        return false;
    }
    std::vector<std::uint8_t> listing;
    if (files.hasListing && !readWholeFile(files.listing, listing)) {
        if (Error earlier = checkNotRetired(asText(listing), files)) {
            report(out, kTool, earlier);
            return false;
        }
    }
    return true;
}

// Adds the strings of the listing `txtPath` to `pot`; `besideListing`: the
// references name the listing by its file name (the template stands beside
// it), else by its path.
bool addListing(PoTemplate& pot, const std::string& txtPath, bool besideListing, std::FILE* out) {
    std::vector<std::uint8_t> bytes;
    if (!readInput(txtPath, bytes, out)) return false;
    StatementList statements;
    LabelList labels;
    initScenarioLists(statements, labels);
    ScenarioText where;
    where.listing = besideListing ? fileNameOf(txtPath) : txtPath;
    where.codePage = pot.codePage;
    if (Error error = parseText(asText(bytes), statements, labels, &where.lines)) {
        report(out, kTool, error);
        say(out, "%s", kReadingFailed);
        return false;
    }
    // A template in the wrong code page would be made of stand-ins for bytes.
    TranslationCounts counts;
    countTranslations(statements, pot.codePage, nullptr, counts);
    if (counts.withHighBytes > 0 && counts.undecoded == counts.withHighBytes) {
        Error error = fileError(ScntoolFault::StringsDoNotDecode, txtPath);
        error.at = counts.withHighBytes;
        error.other = pot.codePage.name;
        report(out, kTool, error);
        return false;
    }
    std::vector<Error> leftOut;
    addToTemplate(pot, statements, where, leftOut);
    for (const Error& warning : leftOut) report(out, kTool, warning);
    return true;
}

bool writeTemplate(const PoTemplate& pot, const std::string& path, std::FILE* out) {
    return writeOutput(path, asBytes(withLineEnds(templateText(pot), kNativeLineEnd)), out);
}

}  // namespace

bool writeTemplates(const std::vector<std::string>& paths, const ConvertOptions& options, const std::string& output,
                    std::FILE* out) {
    const CodePage page = options.codePage.value_or(kUtf8);
    // Every scenario is checked before anything is written.
    std::vector<std::string> listings(paths.size());
    std::vector<char> toList(paths.size(), 0);
    bool ready = true;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        bool list = false;
        ready = checkScenario(paths[i], listings[i], list, out) && ready;
        toList[i] = list;
    }
    if (!ready) {
        say(out, "No template was written.\n");
        return false;
    }
    // The template comes from the listing, made first when it is missing.
    bool all = true;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (toList[i] && !listBinary(paths[i], listings[i], nullptr, out)) all = false;
    }
    if (!output.empty()) {
        if (!all) return false;
        PoTemplate pot;
        pot.project = scenarioName(output);
        pot.description = "Strings of " + std::to_string(paths.size()) + " scenarios, from their listings.";
        pot.codePage = page;
        for (const std::string& listing : listings) all = addListing(pot, listing, false, out) && all;
        return all && writeTemplate(pot, output, out);
    }
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (toList[i] && !pathExists(listings[i])) continue;  // its listing failed, told above
        PoTemplate pot;
        pot.project = scenarioName(paths[i]);
        pot.codePage = page;
        const std::string stem = listings[i].substr(0, listings[i].size() - 4);
        pot.description = "Strings of the scenario " + pot.project + ", from " + fileNameOf(listings[i]) + ".";
        all = addListing(pot, listings[i], true, out) && writeTemplate(pot, stem + ".pot", out) && all;
    }
    return all;
}

}  // namespace pactools

#include "template_command.h"

#include "listing_parser.h"
#include "messages.h"
#include "scntool_output.h"
#include "text.h"
#include "translation.h"

namespace pactools {

namespace {

std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Adds the strings of the scenario `path` (NAME.bin or NAME.txt) to `pot`;
// `listingName` names its listing in the references (the listing's file
// name when the template stands beside it, its path otherwise).
bool addScenario(PoTemplate& pot, const std::string& path, bool besideListing, std::FILE* out) {
    const std::size_t dot = findExtension(path);
    const std::string_view extension = dot == std::string::npos ? std::string_view() : std::string_view(path).substr(dot);
    const bool fromBinary = equalsIgnoreCase(extension, ".bin");
    if (!fromBinary && !equalsIgnoreCase(extension, ".txt")) {
        report(out, kTool, fileError(Fault::ExtensionRefused, path));
        return false;
    }
    const std::string txtPath = path.substr(0, dot) + ".txt";
    // The template comes from the listing, made first when it is missing.
    if (fromBinary && !pathExists(txtPath) && !listBinary(path, txtPath, nullptr, out)) return false;
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
    if (Error error = addToTemplate(pot, statements, where)) {
        report(out, kTool, error);
        return false;
    }
    return true;
}

bool writeTemplate(const PoTemplate& pot, const std::string& path, std::FILE* out) {
    OutputFile output;
    if (Error error = output.create(path)) {
        report(out, kTool, error.as(Fault::CannotCreateScenario));
        return false;
    }
    return writeOutput(output, asBytes(withLineEnds(templateText(pot), kNativeLineEnd)), out);
}

}  // namespace

bool writeTemplates(const std::vector<std::string>& paths, const ConvertOptions& options, const std::string& output,
                    std::FILE* out) {
    const CodePage page = options.codePage.value_or(kUtf8);
    if (!output.empty()) {
        PoTemplate pot;
        pot.project = scenarioName(output);
        pot.description = "Strings of " + std::to_string(paths.size()) + " scenarios, from their listings.";
        pot.codePage = page;
        bool all = true;
        for (const std::string& path : paths) all = addScenario(pot, path, false, out) && all;
        return all && writeTemplate(pot, output, out);
    }
    bool all = true;
    for (const std::string& path : paths) {
        PoTemplate pot;
        pot.project = scenarioName(path);
        pot.codePage = page;
        const std::size_t dot = findExtension(path);
        const std::string stem = path.substr(0, dot == std::string::npos ? path.size() : dot);
        pot.description = "Strings of the scenario " + pot.project + ", from " + fileNameOf(stem + ".txt") + ".";
        all = addScenario(pot, path, true, out) && writeTemplate(pot, stem + ".pot", out) && all;
    }
    return all;
}

}  // namespace pactools

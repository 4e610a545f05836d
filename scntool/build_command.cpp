#include "build_command.h"

#include <set>

#include "common_faults.h"
#include "content_hash.h"
#include "file_io.h"
#include "messages.h"
#include "platform.h"
#include "scenario_files.h"
#include "scntool_faults.h"
#include "scntool_output.h"
#include "text.h"

namespace pactools {

namespace {

// Tells each message once: a translation shared by many scenarios is
// wrong in all of them, but told once.
struct Teller {
    std::FILE* out;
    std::set<std::string> told;
    void operator()(const Error& error) {
        if (told.insert(messageText(error)).second) report(out, kTool, error);
    }
};

// What a binary is built from, as one hash: the listing, the translations
// (the PO file and the code page) and the tool that assembles them.
std::string inputsOf(std::span<const std::uint8_t> listing, const Translations* translations) {
    std::string inputs = contentHash(listing) + "\n";
    if (translations != nullptr) {
        inputs += translations->table.poName + "\n" + translations->fileHash + "\n" + translations->table.codePage.name;
    } else {
        inputs += "no translations";
    }
    return contentHash(inputs + "\nscntool " + PACTOOLS_VERSION);
}

// One scenario to build: its files, and the binary assembled for it.
// (A listing assembling to what the listing of an earlier original did is
// the old script, brought back: checkNotRetired in scenario_files.h.)
struct Build {
    ScenarioFiles files;
    bool assembled = false;  // false: nothing to write
    std::vector<std::uint8_t> binary;
    std::string inputs;
};

// Checks one scenario and assembles its binary in memory when it needs it
// (always, with `always`).  False after telling why it cannot be built.
bool prepare(const std::string& path, const Translations* translations, bool always, Build& build, Teller& tell) {
    const std::size_t dot = findExtension(path);
    if (Error error = inspectScenario(path, dot, build.files)) {
        tell(error.fault == CommonFault::CannotOpen ? error.as(ScntoolFault::CannotOpenScenario) : error);
        return false;
    }
    const ScenarioFiles& files = build.files;
    switch (provenanceOf(files)) {
    case Provenance::NoListing: {
        if (always) {
            // Named to be assembled: that it cannot be opened is the error.
            int reason = 0;
            platform::FileStatus status;
            platform::statPath(files.listing, status, reason);
            tell(fileError(ScntoolFault::CannotOpenScenario, files.listing, reason));
            return false;
        }
        if (translations == nullptr) return true;  // the binary as it is: nothing to build it from
        Error error = fileError(ScntoolFault::NoListing, files.binary);
        error.name = files.listing;
        tell(error);
        return false;
    }
    case Provenance::NewOriginal: tell(newOriginalError(files)); return false;
    case Provenance::NoBinary:
        // What the listing is checked against is gone: a new original may
        // have been extracted and removed.  By hand it may be built anyway.
        if (!always && !files.record.source.empty()) {
            Error error = fileError(ScntoolFault::BinaryMissing, files.binary);
            error.name = files.listing;
            tell(error);
            return false;
        }
        break;
    default: break;
    }
    std::vector<std::uint8_t> listing;
    if (Error error = readWholeFile(files.listing, listing)) {
        tell(error.as(ScntoolFault::CannotOpenScenario));
        return false;
    }
    build.inputs = inputsOf(listing, translations);
    const BuiltBinary* last = files.record.lastBuilt();
    if (!always && last != nullptr && files.hasBinary && last->hash == files.binaryHash && last->inputs == build.inputs) {
        return true;  // up to date
    }
    say(tell.out, "Processing: %s\n", shown(files.listing).c_str());
    TranslationNotes notes;
    AssemblyStep failed = AssemblyStep::Parsing;
    const Error error = assembleInMemory(asText(listing), files.listing, translations, build.binary, &notes, &failed);
    for (const Error& warning : notes.warnings) tell(warning);
    if (!notes.errors.empty()) {
        for (const Error& each : notes.errors) tell(each);
        return false;
    }
    if (error) {
        // Among many scenarios, the message names its listing.
        if (!always && error.file.empty()) say(tell.out, "%s: ", shown(files.listing).c_str());
        report(tell.out, kTool, error);
        if (failed == AssemblyStep::Parsing) say(tell.out, "%s", kReadingFailed);
        if (failed == AssemblyStep::Writing) say(tell.out, "%s", kWritingFailed);
        return false;
    }
    if (Error earlier = checkNotRetired(asText(listing), files, translations == nullptr ? &build.binary : nullptr)) {
        tell(earlier);
        return false;
    }
    build.assembled = true;
    return true;
}

// Writes an assembled binary: its record first, so that the binary is
// known as built from the listing even if an interrupt comes between the two.
bool commit(Build& build, std::FILE* out) {
    if (!build.assembled) return true;
    ScenarioRecord record = build.files.record;
    record.addBuilt(contentHash(build.binary), build.inputs);
    if (Error error = writeRecord(build.files.recordFile, record)) {
        report(out, kTool, error);
        return false;
    }
    return writeOutput(build.files.binary, build.binary, out);
}

}  // namespace

bool assembleListing(const std::string& txtPath, const Translations* translations, std::FILE* out) {
    Teller tell{out, {}};
    Build build;
    return prepare(txtPath, translations, true, build, tell) && commit(build, out);
}

bool buildScenarios(const std::vector<std::string>& paths, const ConvertOptions& options, const Translations* project,
                    std::FILE* out) {
    Teller tell{out, {}};
    std::vector<Build> builds(paths.size());
    bool ready = true;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        const std::size_t dot = findExtension(path);
        const PathKind kind = pathKind(path);
        if (kind != PathKind::Binary && kind != PathKind::Listing) {
            tell(fileError(ScntoolFault::ExtensionRefused, path));
            ready = false;
            continue;
        }
        std::unique_ptr<Translations> own;
        const Translations* translations = nullptr;
        if (!translationsFor(path.substr(0, dot), options, project, own, translations, out, false)) {
            ready = false;
            continue;
        }
        ready = prepare(path, translations, false, builds[i], tell) && ready;
        // Only what is written is kept: a game may have thousands of scenarios.
        builds[i].files.binaryBytes = {};
        if (!builds[i].assembled) builds[i].files.record = {};
    }
    if (!ready) {
        say(out, "Nothing was written.\n");
        return false;
    }
    for (Build& build : builds) {
        if (!commit(build, out)) return false;
    }
    return true;
}

}  // namespace pactools

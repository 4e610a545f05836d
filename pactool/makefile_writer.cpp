#include "makefile_writer.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "list_file.h"
#include "member_names.h"
#include "pactool_faults.h"
#include "platform.h"
#include "text.h"

namespace pactools {

namespace {

// A makefile-safe name (its text) as make must name the member's file:
// with '/' where '\' separates directories, in the bytes make reads file
// names in (the system's code page; UTF-8 and bytes on POSIX).  False when
// the code page cannot hold the name.
bool makeWord(std::string_view text, std::string& word) {
    std::string slashed(text);
    for (char& c : slashed) {
        if (c == '\\') c = '/';
    }
    return platform::nameOfPath(slashed, word);
}

void writeNameList(std::string& text, const PtrVector<std::string>& words) {
    for (std::uint32_t i = 0; i < words.count; ++i) {
        text += '\t';
        text += words[i];
        text += i + 1 < words.count ? " \\\n" : "\n";
    }
}

// The makefile's own targets.  A member file of one of these names would be
// the target, and make would take it for up to date (or build it).
constexpr const char* kTargets[] = {"all", "extract", "decompile", "pot", "status", "install"};

}  // namespace

std::string makefileTargets() {
    std::string list;
    for (const char* target : kTargets) list += (list.empty() ? "" : ", ") + std::string(target);
    return list;
}

bool isMakefileSafe(std::string_view name) {
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || byte >= 0x80 ||
                           std::string_view("._-+/,\\").find(c) != std::string_view::npos;
        if (!plain) return false;
    }
    return true;
}

bool isMakefileSafeArchivePath(std::string_view path) {
    // Windows' make reads a drive ("C:/") at the start of a name as a drive.
    const bool drive = platform::kWindows && path.size() > 2 && path[1] == ':' && (path[2] == '/' || path[2] == '\\') &&
                       ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
    return isMakefileSafe(drive ? path.substr(2) : path);
}

Error makefileText(std::string_view pacPath, const PtrVector<PacEntry>& entries, std::string_view lineEnd,
                   std::string& text, std::vector<Error>& notes, std::string* scenarioList) {
    // The path is checked as characters (a double-byte character whose
    // second byte is '[' is a character like any other), then written in
    // the bytes make reads.
    if (!isMakefileSafeArchivePath(pacPath)) return fileError(PactoolFault::MakefileUnsafeArchive, std::string(pacPath));
    std::string pac;
    if (!platform::nameOfPath(pacPath, pac)) {
        return fileError(PactoolFault::MakefileArchiveNotInCodePage, std::string(pacPath));
    }
    std::vector<std::string> words(entries.count);
    for (std::uint32_t i = 0; i < entries.count; ++i) {
        const std::string& name = entries[i].text;
        Error error{PactoolFault::MakefileUnsafeMember};
        error.name = name;
        if (!isMakefileSafe(name)) return error;
        if (!makeWord(name, words[i])) return error.as(PactoolFault::MakefileMemberNotInCodePage);
        // In any letter case, and as Windows reads the name ("ALL." is "all" there).
        const std::string key = fileKey(name);
        for (const char* target : kTargets) {
            if (key == fileKey(target)) {
                error.detail = makefileTargets();
                return error.as(PactoolFault::MakefileTargetMember);
            }
        }
    }
    // A .bin member beside a member of its listing's name (or of its PO
    // file's or template's) is not a scenario for the makefile: listing it
    // or assembling it would replace the other member.
    std::unordered_map<std::string, const std::string*> byKey;
    for (const PacEntry* entry : entries) byKey.emplace(fileKey(entry->text), &entry->text);
    PtrVector<std::string> bins;
    PtrVector<std::string> files;
    ptrVectorInit(bins, 16, 16);
    ptrVectorInit(files, 16, 16);
    for (std::uint32_t i = 0; i < entries.count; ++i) {
        const std::string& name = entries[i].text;
        bool scenario = endsWithIgnoreCase(name, ".bin");
        if (scenario) {
            const std::string stem = name.substr(0, name.size() - 4);
            for (const char* ending : {".txt", ".po", ".pot"}) {
                const auto other = byKey.find(fileKey(stem + ending));
                if (other == byKey.end() || !scenario) continue;
                Error note{PactoolFault::MakefileNotAScenario};
                note.name = name;
                note.other = *other->second;
                notes.push_back(note);
                scenario = false;
            }
        }
        ptrVectorPush(scenario ? bins : files, std::make_unique<std::string>(words[i]));
        // scntool reads the scenarios from this list, in UTF-8 as the list
        // file holds names, each a path from here.
        if (scenario && scenarioList != nullptr) {
            for (char c : name) *scenarioList += c == '\\' ? '/' : c;
            *scenarioList += '\n';
        }
    }

    // Commands get the archive path after "--", so a path starting with '-'
    // is never an option.
    std::string list = listFileName(pac);
    std::replace(pac.begin(), pac.end(), '\\', '/');
    std::replace(list.begin(), list.end(), '\\', '/');
    text = "include ../makefile.conf\n\nFILES =";
    writeNameList(text, files);
    text += "\n\nBINS =";
    writeNameList(text, bins);
    text += "\n";
    // Translations: one PO file for the whole game when ../makefile.conf
    // names it (TRANSLATIONS = game.po), else NAME.po beside each listing.
    // Building and status need the file named (a PO file gone missing must
    // not build the game untranslated); listing and templates do not.  Before the archive is built, scntool --build brings
    // every scenario's binary up to date with its listing and translations:
    // it assembles only what changed, never over a new original (it stops
    // make instead), and leaves a binary whose bytes do not change
    // untouched, so only what changed is compressed again.
    // No built-in rules: make would look for a way to build every member
    // (under RCS/ and SCCS/ of each folder too), seconds for a large game.
    text += "\nMAKEFLAGS += --no-builtin-rules\n.SUFFIXES:\n";
    text += "CODE_PAGE_OPTION = $(if $(CODE_PAGE),--code-page $(CODE_PAGE) )\n"
            "$(if $(filter-out 0 1,$(words $(TRANSLATIONS)))$(filter-out %.po,$(TRANSLATIONS)),"
            "$(error TRANSLATIONS must name one PO file, NAME.po, without blanks))\n"
            "$(if $(TRANSLATIONS),$(if $(filter $(TRANSLATIONS) $(basename $(TRANSLATIONS)).pot,$(FILES) $(BINS)),"
            "$(error TRANSLATIONS names a member of the archive (or its template does): name another file)))\n"
            "GAME_PO = $(wildcard $(TRANSLATIONS))\n"
            "PO_OPTION = $(if $(GAME_PO),--po $(GAME_PO) )\n"
            "GAME_PO_OPTION = $(if $(TRANSLATIONS),--po $(TRANSLATIONS) )\n"
            "POT_OPTION = $(if $(TRANSLATIONS),-o $(basename $(TRANSLATIONS)).pot )\n"
            "SCENARIOS = $(basename $(BINS))\n"
            // The listings and PO files there are, found with one look at
            // each scenario folder ("*.txt"): a name looked up on its own
            // that is not there costs a Windows make a look at the whole
            // folder, and a game holds thousands of them.
            "SCENARIO_FOLDERS = $(sort $(dir $(BINS)))\n"
            "present = $(filter $(addsuffix $(1),$(SCENARIOS)),"
            "$(patsubst ./%,%,$(wildcard $(addsuffix *$(1),$(SCENARIO_FOLDERS)))))\n"
            "LISTINGS = $(call present,.txt)\n"
            "PO_FILES = $(or $(GAME_PO),$(call present,.po))\n"
            // scntool reads the scenarios from the list extract wrote, so no
            // command line grows with the number of members.
            "SCENARIO_LIST = @" + std::string(kScenarioListFile) + "\n"
            // pactool copies the archive into GAME_DIR, read from its
            // environment: no shell reads the folder (blanks, a trailing
            // separator) nor the archive's name ('+', ',' and '/' are
            // syntax to cmd.exe's copy).  A GAME_DIR line that ends in a
            // backslash takes in the next line of makefile.conf.
            "export GAME_DIR\n"
            // A variable named in make's environment is exported with the
            // makefile's value: the member lists would then fill every
            // command's environment ("Argument list too long").
            "unexport FILES BINS SCENARIOS SCENARIO_FOLDERS LISTINGS PO_FILES\n"
            "$(if $(findstring =,$(GAME_DIR)),$(error GAME_DIR in ../makefile.conf holds \"=\": its line ends in a "
            "backslash that takes in the next line; end it without one))\n";
    text += "\n.PHONY: " + std::string(kTargets[0]);
    for (std::size_t i = 1; i < std::size(kTargets); ++i) text += std::string(" ") + kTargets[i];
    text += "\n\nall: " + pac + "\n\n" + pac + ": $(FILES) $(wildcard $(BINS)) " + list +
            " $(LISTINGS) $(PO_FILES) ../makefile.conf\n" +
            "\t$(if $(BINS),$(QVXTOOL) $(CODE_PAGE_OPTION)$(GAME_PO_OPTION)--build $(SCENARIO_LIST))\n"
            "\t$(QVXPACTOOL) $(CODE_PAGE_OPTION)archive -- " + pac + "\n\nextract:\n\t$(QVXPACTOOL) $(CODE_PAGE_OPTION)extract -- " + pac +
            "\n\ndecompile: $(BINS)\n\t$(if $(BINS),$(QVXTOOL) $(CODE_PAGE_OPTION)$(PO_OPTION)$(SCENARIO_LIST))\n\n"
            "pot: $(BINS)\n\t$(if $(BINS),$(QVXTOOL) $(CODE_PAGE_OPTION)--pot $(POT_OPTION)$(SCENARIO_LIST))\n\n"
            "status:\n\t$(if $(BINS),$(QVXTOOL) $(CODE_PAGE_OPTION)--status $(GAME_PO_OPTION)$(SCENARIO_LIST))\n\n"
            "install: " + pac + "\n\t$(QVXPACTOOL) install -- " + pac + "\n";
    text = withLineEnds(text, lineEnd);
    return {};
}

}  // namespace pactools

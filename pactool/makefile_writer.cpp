#include "makefile_writer.h"

#include <unordered_map>
#include <vector>

#include "list_file.h"
#include "member_names.h"
#include "text.h"

namespace pactools {

namespace {

// A makefile-safe name as the makefile writes it: the member's file is
// where '\' separates directories, so that is how make must name it.
std::string makeWord(std::string_view name) {
    std::string word(name);
    for (char& c : word) {
        if (c == '\\') c = '/';
    }
    return word;
}

std::string lowerAscii(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) c = asciiLower(c);
    return lower;
}

void writeNameList(std::string& text, const PtrVector<std::string>& names) {
    for (std::uint32_t i = 0; i < names.count; ++i) {
        text += '\t';
        text += makeWord(names[i]);
        text += i + 1 < names.count ? " \\\n" : "\n";
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

Error makefileText(std::string_view pacPath, const PtrVector<PacEntry>& entries, std::string_view lineEnd,
                   std::string& text, std::vector<Error>& notes) {
    if (!isMakefileSafe(pacPath)) return fileError(Fault::MakefileUnsafeArchive, std::string(pacPath));
    for (const PacEntry* entry : entries) {
        Error error{Fault::MakefileUnsafeMember};
        error.name = entry->name;
        if (!isMakefileSafe(entry->name)) return error;
        // In any letter case, and as Windows reads the name ("ALL." is "all" there).
        const std::string key = fileKey(entry->name);
        for (const char* target : kTargets) {
            if (key == target) {
                error.detail = makefileTargets();
                return error.as(Fault::MakefileTargetMember);
            }
        }
    }
    // A .bin member beside a member of its listing's name (or of its PO
    // file's or template's) is not a scenario for the makefile: listing it
    // or assembling it would replace the other member.
    std::unordered_map<std::string, const std::string*> byKey;
    for (const PacEntry* entry : entries) byKey.emplace(lowerAscii(entry->name), &entry->name);
    PtrVector<std::string> bins;
    PtrVector<std::string> files;
    ptrVectorInit(bins, 16, 16);
    ptrVectorInit(files, 16, 16);
    for (const PacEntry* entry : entries) {
        bool scenario = endsWithIgnoreCase(entry->name, ".bin");
        if (scenario) {
            const std::string stem = lowerAscii(entry->name.substr(0, entry->name.size() - 4));
            for (const char* ending : {".txt", ".po", ".pot"}) {
                const auto other = byKey.find(stem + ending);
                if (other == byKey.end() || !scenario) continue;
                Error note{Fault::MakefileNotAScenario};
                note.name = entry->name;
                note.other = *other->second;
                notes.push_back(note);
                scenario = false;
            }
        }
        ptrVectorPush(scenario ? bins : files, std::make_unique<std::string>(entry->name));
    }

    // Commands get the archive path after "--" (and cp as ./-x.pac), so a
    // path starting with '-' is never an option.
    const std::string pac = makeWord(pacPath);
    const std::string list = makeWord(listFileName(pacPath));
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
    text += "\nCODE_PAGE_OPTION = $(if $(CODE_PAGE),--code-page $(CODE_PAGE) )\n"
            "$(if $(filter-out 0 1,$(words $(TRANSLATIONS)))$(filter-out %.po,$(TRANSLATIONS)),"
            "$(error TRANSLATIONS must name one PO file, NAME.po, without blanks))\n"
            "$(if $(TRANSLATIONS),$(if $(filter $(TRANSLATIONS) $(basename $(TRANSLATIONS)).pot,$(FILES) $(BINS)),"
            "$(error TRANSLATIONS names a member of the archive (or its template does): name another file)))\n"
            "GAME_PO = $(wildcard $(TRANSLATIONS))\n"
            "PO_OPTION = $(if $(GAME_PO),--po $(GAME_PO) )\n"
            "GAME_PO_OPTION = $(if $(TRANSLATIONS),--po $(TRANSLATIONS) )\n"
            "POT_OPTION = $(if $(TRANSLATIONS),-o $(basename $(TRANSLATIONS)).pot )\n"
            "SCENARIOS = $(basename $(BINS))\n"
            "LISTINGS = $(wildcard $(addsuffix .txt,$(SCENARIOS)))\n"
            "PO_FILES = $(or $(GAME_PO),$(wildcard $(addsuffix .po,$(SCENARIOS))))\n";
    text += "\n.PHONY: " + std::string(kTargets[0]);
    for (std::size_t i = 1; i < std::size(kTargets); ++i) text += std::string(" ") + kTargets[i];
    text += "\n\nall: " + pac + "\n\n" + pac + ": $(FILES) $(wildcard $(BINS)) " + list +
            " $(LISTINGS) $(PO_FILES) ../makefile.conf\n" +
            "\t$(if $(BINS),$(QVXTOOL) $(CODE_PAGE_OPTION)$(GAME_PO_OPTION)--build -- $(BINS))\n"
            "\t$(QVXPACTOOL) archive -- " + pac + "\n\nextract:\n\t$(QVXPACTOOL) extract -- " + pac +
            "\n\ndecompile: $(BINS)\n\t$(if $(BINS),$(QVXTOOL) $(CODE_PAGE_OPTION)$(PO_OPTION)-- $(BINS))\n\n"
            "pot: $(BINS)\n\t$(if $(BINS),$(QVXTOOL) $(CODE_PAGE_OPTION)--pot $(POT_OPTION)-- $(BINS))\n\n"
            "status:\n\t$(if $(BINS),$(QVXTOOL) $(CODE_PAGE_OPTION)--status $(GAME_PO_OPTION)-- $(BINS))\n\n"
            "install: " + pac + "\n\t$(COPY) " + (pac.starts_with('-') ? "./" : "") + pac + " $(GAME_DIR)\n";
    text = withLineEnds(text, lineEnd);
    return {};
}

}  // namespace pactools

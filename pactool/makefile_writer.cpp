#include "makefile_writer.h"

#include "list_file.h"
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

void writeNameList(std::string& text, const PtrVector<std::string>& names) {
    for (std::uint32_t i = 0; i < names.count; ++i) {
        text += '\t';
        text += makeWord(names[i]);
        text += i + 1 < names.count ? " \\\n" : "\n";
    }
}

}  // namespace

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
                   std::string& text) {
    if (!isMakefileSafe(pacPath)) return fileError(Fault::MakefileUnsafeArchive, std::string(pacPath));
    for (const PacEntry* entry : entries) {
        if (!isMakefileSafe(entry->name)) {
            Error error{Fault::MakefileUnsafeMember};
            error.name = entry->name;
            return error;
        }
    }
    PtrVector<std::string> bins;
    PtrVector<std::string> files;
    ptrVectorInit(bins, 16, 16);
    ptrVectorInit(files, 16, 16);
    // Spellings of the ".bin" ending other than lower case, in order of first
    // appearance: make matches pattern rules case-sensitively.
    PtrVector<std::string> otherEndings;
    ptrVectorInit(otherEndings, 16, 0);
    for (const PacEntry* entry : entries) {
        if (endsWithIgnoreCase(entry->name, ".bin")) {
            ptrVectorPush(bins, std::make_unique<std::string>(entry->name));
            const std::string ending = entry->name.substr(entry->name.size() - 4);
            bool known = ending == ".bin";
            for (const std::string* seen : otherEndings) known = known || *seen == ending;
            if (!known) ptrVectorPush(otherEndings, std::make_unique<std::string>(ending));
        } else {
            ptrVectorPush(files, std::make_unique<std::string>(entry->name));
        }
    }

    const std::string pac = makeWord(pacPath);
    const std::string list = makeWord(listFileName(pacPath));
    text = "include ../makefile.conf\n\nFILES =";
    writeNameList(text, files);
    text += "\n\nBINS =";
    writeNameList(text, bins);
    text += "\n";
    // The game's code page, when ../makefile.conf names one, for the
    // translators' targets.
    const std::string codePage = "$(if $(CODE_PAGE),--code-page $(CODE_PAGE) )";
    text += "\nall: " + pac + "\n\n" + pac + ": $(FILES) $(BINS) " + list + "\n\t$(QVXPACTOOL) archive " + pac +
            "\n\nextract:\n\t$(QVXPACTOOL) extract " + pac + "\n\ndecompile: $(BINS)\n\t$(QVXTOOL) $(BINS)\n\npot: $(BINS)\n\t$(QVXTOOL) " +
            codePage + "--pot $(BINS)\n\ninstall: " + pac + "\n\t$(COPY) " + pac + " $(GAME_DIR)\n\n";
    // A scenario with a PO file is assembled with its translations: make
    // takes the first pattern rule whose prerequisites exist.
    const auto rules = [&](const std::string& ending) {
        text += "%" + ending + " : %.po %.txt\n\t$(QVXTOOL) " + codePage + "$<\n\n";
        text += "%" + ending + " : %.txt\n\t$(QVXTOOL) $<\n\n";
    };
    rules(".bin");
    for (const std::string* ending : otherEndings) rules(makeWord(*ending));
    text = withLineEnds(text, lineEnd);
    return {};
}

}  // namespace pactools

#include "list_file.h"

#include "text.h"

namespace pactools {

std::string listFileName(std::string_view pacPath) {
    return std::string(pacPath) + ".list";
}

bool readList(std::string_view text, PtrVector<std::string>& names, PacHeader& header, std::string& error) {
    LineReader reader(withoutByteOrderMark(text));
    std::string_view line;
    if (!reader.next(line)) {
        error = "Unexpected EOF in list file...";
        return false;
    }
    TextScanner scanner(line);
    std::uint32_t headerByte = 0;
    std::uint32_t headerWord = 0;
    if (!scanner.hex(headerByte) || !scanner.hex(headerWord)) {
        error = "Invalid list file";
        return false;
    }
    if (scanner.tooLarge) {
        // The header byte keeps its low 8 bits, but a word is never cut.
        error = "Invalid list file: line 1: the header word does not fit in 32 bits";
        return false;
    }
    header.headerByte = static_cast<std::uint8_t>(headerByte);
    header.headerWord = headerWord;
    while (reader.next(line)) {
        if (!ptrVectorPush(names, std::make_unique<std::string>(line))) {
            error = "Out of memory reading the list file";
            return false;
        }
    }
    return true;
}

std::string listText(const PacHeader& header, const PtrVector<PacEntry>& entries, std::string_view lineEnd) {
    std::string text = hexText(header.headerByte) + " " + hexText(header.headerWord) + "\n";
    for (const PacEntry* entry : entries) text += entry->name + "\n";
    return withLineEnds(text, lineEnd);
}

}  // namespace pactools

#include "list_file.h"

#include "pac_faults.h"
#include "text.h"

namespace pactools {

std::string listFileName(std::string_view pacPath) {
    return std::string(pacPath) + ".list";
}

Error readList(std::string_view text, PtrVector<std::string>& names, PacHeader& header,
               std::optional<CodePage>* codePage) {
    LineReader reader(withoutByteOrderMark(text));
    std::string_view line;
    if (!reader.next(line)) return Error{PacFault::ListEmpty};
    TextScanner scanner(line);
    std::uint32_t headerByte = 0;
    std::uint32_t headerWord = 0;
    if (!scanner.hex(headerByte) || !scanner.hex(headerWord)) return Error{PacFault::ListInvalid};
    // The header byte keeps its low 8 bits, but a word is never cut.
    if (scanner.tooLarge) return Error{PacFault::ListHeaderWordTooLarge};
    header.headerByte = static_cast<std::uint8_t>(headerByte);
    header.headerWord = headerWord;
    if (codePage != nullptr) {
        scanner.skipSpace();
        std::size_t end = scanner.position;
        while (end < line.size() && !isSpace(line[end])) ++end;
        *codePage = findCodePage(line.substr(scanner.position, end - scanner.position));
    }
    while (reader.next(line)) {
        if (!ptrVectorPush(names, std::make_unique<std::string>(line))) return Error{PacFault::ListOutOfMemory};
    }
    return {};
}

std::string listText(const PacHeader& header, const PtrVector<PacEntry>& entries, std::string_view lineEnd,
                     const std::optional<CodePage>& codePage) {
    std::string text = hexText(header.headerByte) + " " + hexText(header.headerWord);
    if (codePage) text += std::string(" ") + codePage->name;
    text += "\n";
    for (const PacEntry* entry : entries) text += (codePage ? entry->text : entry->name) + "\n";
    return withLineEnds(text, lineEnd);
}

}  // namespace pactools

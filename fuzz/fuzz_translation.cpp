// Assembles a listing with a PO file's translations and compares the result
// with the listing route: the same translations written into the listing's
// text, then assembled.  Both must give the same binary, and that binary
// must pass scntool's own check.  The input is a listing, a NUL byte, and a
// PO file.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "assembly_check.h"
#include "listing_parser.h"
#include "scenario_binary.h"
#include "text.h"
#include "translation.h"

using namespace pactools;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    if (nul == std::string_view::npos) return 0;
    const std::string_view listing = input.substr(0, nul);
    PoFile po;
    TranslationTable table;
    if (readPo(input.substr(nul + 1), po) || makeTranslationTable(po, "f.po", kUtf8, table)) return 0;

    StatementList statements;
    LabelList labels;
    initScenarioLists(statements, labels);
    ScenarioText where;
    where.listing = "f.txt";
    if (parseText(listing, statements, labels, &where.lines)) return 0;
    TranslationNotes notes;
    std::vector<StringReplacement> replaced;
    if (applyTranslations(statements, labels, where, table, notes, replaced)) return 0;
    std::vector<std::uint8_t> translated;
    if (writeBinary(statements, translated)) return 0;
    if (checkTranslatedBinary(listing, replaced, translated)) std::abort();

    // The listing route.
    std::vector<const std::string*> byLine(where.lines.empty() ? 1 : where.lines.back() + 1, nullptr);
    for (const StringReplacement& replacement : replaced) byLine[where.lines[replacement.statement]] = &replacement.bytes;
    std::string edited;
    LineReader reader(withoutByteOrderMark(listing));
    std::string_view line;
    for (std::size_t number = 1; reader.next(line); ++number) {
        if (number < byLine.size() && byLine[number] != nullptr) {
            edited += std::string(line.substr(0, line.find('<') + 1)) + *byLine[number] + ">\n";
        } else {
            edited += std::string(line) + "\n";
        }
    }
    StatementList again;
    LabelList againLabels;
    initScenarioLists(again, againLabels);
    std::vector<std::uint8_t> expected;
    if (parseText(edited, again, againLabels) || writeBinary(again, expected) || expected != translated) std::abort();
    return 0;
}

// Reads a binary scenario and writes its listing, then checks the listing the
// way scntool does.  Whatever the reader accepts, the writers must take; the
// binary written from it must read back to the same model, field by field;
// and a listing that assembles to that binary must parse to that model.
#include <cstdint>
#include <cstdlib>

#include "listing_parser.h"
#include "listing_writer.h"
#include "same_model.h"
#include "scenario_binary.h"

using namespace pactools;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    StatementList statements;
    LabelList labels;
    initScenarioLists(statements, labels);
    if (readBinary({data, size}, "fuzz.bin", statements, labels)) return 0;
    std::string listing;
    if (writeText(statements, labels, listing)) std::abort();
    std::vector<std::uint8_t> rebuilt;
    if (writeBinary(statements, rebuilt)) std::abort();
    StatementList again;
    LabelList againLabels;
    initScenarioLists(again, againLabels);
    if (readBinary(rebuilt, "rebuilt.bin", again, againLabels)) std::abort();
    if (!sameStatements(again, statements) || !sameLabels(againLabels, labels)) std::abort();

    // The listing may not assemble back (that is what scntool warns about),
    // but trying must be safe.
    StatementList parsed;
    LabelList parsedLabels;
    initScenarioLists(parsed, parsedLabels);
    std::vector<std::uint8_t> assembled;
    if (!parseText(listing, parsed, parsedLabels) && !writeBinary(parsed, assembled) && assembled == rebuilt &&
        !sameStatements(parsed, again)) {
        std::abort();
    }
    return 0;
}

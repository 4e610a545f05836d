// Parses a listing and writes the binary.  Whatever the parser accepts must
// make a binary that reads back to the very statements parsed (every
// offset, opcode, operand and byte) and lists without error.
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
    if (parseText({reinterpret_cast<const char*>(data), size}, statements, labels)) return 0;
    std::vector<std::uint8_t> binary;
    if (writeBinary(statements, binary)) {
        if (!statements.empty()) std::abort();  // only an empty scenario may be refused
        return 0;
    }
    StatementList reread;
    LabelList rereadLabels;
    initScenarioLists(reread, rereadLabels);
    if (readBinary(binary, "fuzz.bin", reread, rereadLabels)) std::abort();
    if (!sameStatements(reread, statements)) std::abort();
    std::string listing;
    if (writeText(reread, rereadLabels, listing)) std::abort();
    return 0;
}

// Reads a list file, writes it back in canonical form with its makefile, and
// reads that again: the header values and names must survive.
#include <cstdint>
#include <cstdlib>

#include "list_file.h"
#include "makefile_lists.h"
#include "makefile_writer.h"

using namespace pactools;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    PtrVector<std::string> names;
    ptrVectorInit(names, 32, 32);
    PacHeader header;
    if (readList(text, names, header)) return 0;
    PtrVector<PacEntry> entries;
    ptrVectorInit(entries, 32, 0);
    for (const std::string* name : names) ptrVectorPush(entries, std::make_unique<PacEntry>(PacEntry{*name, 0, 0, 0, *name}));
    // A makefile, when there is one, lists no character a name could turn into code.
    std::string makefile;
    std::vector<Error> notes;
    if (!makefileText("data.pac", entries, "\n", makefile, notes) && !makefileListsAreInert(makefile)) std::abort();
    const std::string canonical = listText(header, entries, "\r\n");
    PtrVector<std::string> again;
    PacHeader reread;
    if (readList(canonical, again, reread)) std::abort();
    if (reread.headerByte != header.headerByte || reread.headerWord != header.headerWord) std::abort();
    if (again.count != names.count) std::abort();
    for (std::uint32_t i = 0; i < names.count; ++i) {
        if (again[i] != names[i]) std::abort();
    }
    return 0;
}

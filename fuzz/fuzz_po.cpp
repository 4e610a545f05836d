// Reads a PO file; whatever it accepts must write back, entry by entry, to
// text that reads back to the same entries.
#include <cstdint>
#include <cstdlib>

#include "po_file.h"

using namespace pactools;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PoFile po;
    if (readPo({reinterpret_cast<const char*>(data), size}, po)) return 0;
    for (PoEntry entry : po.entries) {
        if (!entry.hasContext && entry.id.empty()) continue;  // a header, written in its own way
        entry.obsolete = false;
        entry.flags.clear();
        entry.translatorComments.clear();
        entry.extractedComments.clear();
        entry.references.clear();
        PoFile again;
        if (readPo(poEntryText(entry), again) || again.entries.size() != 1) std::abort();
        const PoEntry& back = again.entries[0];
        if (back.id != entry.id || back.translation != entry.translation || back.context != entry.context ||
            back.hasContext != entry.hasContext) {
            std::abort();
        }
    }
    return 0;
}

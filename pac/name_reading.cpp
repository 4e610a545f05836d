#include "name_reading.h"

#include "pac_faults.h"
#include "platform.h"

namespace pactools {

Error nameText(const NameReading& reading, std::string_view name, std::string& text) {
    if (!reading.codePage) {
        text = platform::textOfName(name);
        return {};
    }
    std::string back;
    std::uint32_t character = 0;
    if (toUtf8(*reading.codePage, name, text) && fromUtf8(*reading.codePage, text, back, character) && back == name) {
        return {};
    }
    Error error(PacFault::NameNotInCodePage);
    error.name = name;
    error.other = reading.codePage->name;
    return error;
}

Error nameBytes(const NameReading& reading, std::string_view text, std::string& name) {
    if (!reading.codePage) {
        name = text;
        return {};
    }
    std::uint32_t character = 0;
    if (fromUtf8(*reading.codePage, text, name, character)) return {};
    Error error(PacFault::NameTextNotInCodePage);
    error.name = text;
    error.other = reading.codePage->name;
    error.at = character;
    return error;
}

Error readNameTexts(const NameReading& reading, PtrVector<PacEntry>& entries, std::string_view archiveName) {
    for (std::uint32_t i = 0; i < entries.count; ++i) {
        if (Error error = nameText(reading, entries[i].name, entries[i].text)) {
            error.file = archiveName;
            error.at = i + 1;
            return error;
        }
    }
    return {};
}

std::string codePagesTheNamesSuggest(const PtrVector<PacEntry>& entries) {
    // Names that read as the system's need nothing; ASCII reads everywhere.
    bool foreign = false;
    std::string utf8;
    for (const PacEntry* entry : entries) {
        const std::string text = platform::textOfName(entry->name);
        std::string back;
        const bool readable =
            platform::kWindows ? platform::nameOfPath(text, back) && back == entry->name : isValidUtf8(entry->name);
        foreign = foreign || !readable;
    }
    if (!foreign) return {};
    std::string pages;
    for (const char* name : {"CP932", "CP936", "CP949", "CP950"}) {
        const CodePage page = *findCodePage(name);
        bool all = true;
        for (const PacEntry* entry : entries) {
            std::string back;
            std::uint32_t character = 0;
            all = all && toUtf8(page, entry->name, utf8) && fromUtf8(page, utf8, back, character) && back == entry->name;
        }
        if (all) pages += (pages.empty() ? "" : ", ") + std::string(name);
    }
    return pages;
}

}  // namespace pactools

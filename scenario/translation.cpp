#include "translation.h"

#include <algorithm>
#include <unordered_set>

#include "scenario_faults.h"
#include "scenario_layout.h"
#include "text.h"
#include "unicode_names.h"

namespace pactools {

namespace {

// A PushB string's bytes, without its NUL.
std::string_view stringOf(const Statement& statement) {
    const auto end = std::find(statement.data.begin(), statement.data.end(), 0);
    return {reinterpret_cast<const char*>(statement.data.data()), static_cast<std::size_t>(end - statement.data.begin())};
}

// U+2400 + byte in UTF-8 is E2 90 80+byte, for the bytes 0x01-0x1F.
constexpr char kPictureLead0 = '\xE2';
constexpr char kPictureLead1 = '\x90';

bool isPictureAt(std::string_view text, std::size_t at) {
    if (at + 2 >= text.size() || text[at] != kPictureLead0 || text[at + 1] != kPictureLead1) return false;
    const auto last = static_cast<unsigned char>(text[at + 2]);
    return last >= 0x81 && last <= 0x9F;
}

// A byte the code page does not define stands for itself as U+F0000 +
// byte (bytes 0x80-0xFF only: ASCII always decodes), in the Supplementary
// Private Use Area, which no code page's table uses: F3 B0 82 80 to F3 B0 83 BF.
constexpr std::uint32_t kByteNotation = 0xF0000;

bool isByteNotation(std::uint32_t point) {
    return point >= kByteNotation + 0x80 && point <= kByteNotation + 0xFF;
}

void appendByteNotation(std::string& text, unsigned char byte) {
    text += '\xF3';
    text += '\xB0';
    text += static_cast<char>(0x80 | byte >> 6);
    text += static_cast<char>(0x80 | (byte & 0x3F));
}

// Calls `each(bytes, utf8)` with each character of `source` (bytes in
// `page`) and `each(bytes, "")` with each byte that starts none.
template <class Each>
void forEachCharacter(const CodePage& page, std::string_view source, Each each) {
    std::string utf8;
    for (std::size_t at = 0; at < source.size();) {
        std::size_t length = 1;
        while (length <= 4 && at + length <= source.size() && !toUtf8(page, source.substr(at, length), utf8)) ++length;
        if (length > 4 || at + length > source.size()) {
            each(source.substr(at, 1), std::string_view());
            ++at;
            continue;
        }
        each(source.substr(at, length), std::string_view(utf8));
        at += length;
    }
}

// Each character of `source` (bytes in `page`) with the bytes that stand
// for it there.
std::unordered_map<std::uint32_t, std::string> charactersOf(const CodePage& page, std::string_view source) {
    std::unordered_map<std::uint32_t, std::string> characters;
    forEachCharacter(page, source, [&](std::string_view bytes, std::string_view utf8) {
        if (!utf8.empty()) characters.emplace(firstCodePoint(utf8), std::string(bytes));
    });
    return characters;
}

// Appends decoded text as PO text: control bytes as their pictures.  A
// picture or byte notation that the text holds itself could not be told
// from one standing for a byte: it fails.
Fault appendPoText(std::string_view utf8, std::string& text) {
    for (std::size_t at = 0; at < utf8.size(); ++at) {
        const auto byte = static_cast<unsigned char>(utf8[at]);
        if (isPictureAt(utf8, at)) return ScenarioFault::StringHoldsControlPicture;
        if (byte == 0xF3 && isByteNotation(firstCodePoint(utf8.substr(at)))) return ScenarioFault::StringHoldsByteNotation;
        if (byte < 0x20 && byte != '\t') {
            text += kPictureLead0;
            text += kPictureLead1;
            text += static_cast<char>(0x80 + byte);
        } else {
            text += utf8[at];
        }
    }
    return Fault{};
}

std::string controlBytes(std::string_view bytes) {
    std::string found;
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) < 0x20) found += c;
    }
    return found;
}

std::string codePoint(std::uint32_t point) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(point));
    return text;
}

std::string named(std::uint32_t point) {
    const std::string name = characterName(point);
    return name.empty() ? codePoint(point) : codePoint(point) + " " + name;
}

// PO text in a comment, which holds no control byte at all: tab as \t.
std::string commentText(std::string_view text) {
    std::string comment;
    for (char c : text) {
        if (c == '\t') comment += "\\t";
        else comment += c;
    }
    return comment;
}

// An entry's text as messages show it: escaped, and cut after 40 bytes (at
// a character boundary).
std::string entryName(std::string_view text) {
    constexpr std::size_t kShown = 40;
    if (text.size() <= kShown) return std::string(text);
    std::size_t cut = kShown;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut)) + "...";
}

std::string keyOf(const PoEntry& entry) {
    return entry.hasContext ? entry.context + '\x04' + entry.id : entry.id;
}

// The string of each PushB of a listing as PO text, with its statement.
struct ListedString {
    std::uint32_t statement;
    std::string text;
};

// The strings of a listing that can be PO text.  One that cannot (it holds
// a control picture or byte notation itself) has no translation and keeps
// its bytes; it is told in `leftOut`, when given, as a warning naming its
// line.
void listedStrings(const StatementList& statements, const ScenarioText& where, std::vector<ListedString>& strings,
                   std::vector<Error>* leftOut = nullptr) {
    for (std::uint32_t i = 0; i < statements.count; ++i) {
        if (statements[i].opcode != kPushB) continue;
        ListedString listed{i, {}};
        if (const Fault fault = stringAsPoText(where.codePage, stringOf(statements[i]), listed.text); fault != Fault{}) {
            if (leftOut != nullptr) {
                Error warning = fileError(fault, where.listing);
                warning.at = i < where.lines.size() ? where.lines[i] : 0;
                leftOut->push_back(std::move(warning));
            }
            continue;
        }
        if (!listed.text.empty()) strings.push_back(std::move(listed));  // an empty string has nothing to translate
    }
}

}  // namespace

Fault stringAsPoText(const CodePage& page, std::string_view bytes, std::string& text, bool* undecoded) {
    text.clear();
    if (undecoded != nullptr) *undecoded = false;
    std::string utf8;
    if (toUtf8(page, bytes, utf8)) {
        text.reserve(utf8.size());
        return appendPoText(utf8, text);
    }
    if (undecoded != nullptr) *undecoded = true;
    Fault fault = Fault{};
    forEachCharacter(page, bytes, [&](std::string_view character, std::string_view decoded) {
        if (fault != Fault{}) return;
        if (decoded.empty()) appendByteNotation(text, static_cast<unsigned char>(character[0]));
        else fault = appendPoText(decoded, text);
    });
    return fault;
}

Fault poTextAsString(const CodePage& page, std::string_view text, std::string_view source, std::string& bytes,
                     std::uint32_t& character) {
    std::string utf8;
    utf8.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (isPictureAt(text, at)) {
            utf8 += static_cast<char>(static_cast<unsigned char>(text[at + 2]) - 0x80);
            at += 2;
        } else {
            utf8 += text[at];
        }
    }
    if (utf8.find_first_of(std::string_view("\0\r\n", 3)) != std::string::npos) {
        return isValidUtf8(text) ? ScenarioFault::TranslationLineBreak : ScenarioFault::TranslationNotUtf8;
    }
    character = 0xFFFFFFFF;
    if (!isValidUtf8(utf8)) return ScenarioFault::TranslationNotUtf8;
    // A character the source holds keeps the source's bytes: where a code
    // page has two forms of one character, the game's own stays.
    const std::unordered_map<std::uint32_t, std::string> kept = charactersOf(page, source);
    bytes.clear();
    std::string one;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::uint32_t point = firstCodePoint(std::string_view(utf8).substr(at));
        const std::size_t length = point < 0x80 ? 1 : point < 0x800 ? 2 : point < 0x10000 ? 3 : 4;
        if (const auto found = kept.find(point); found != kept.end()) {
            bytes += found->second;
        } else if (isByteNotation(point)) {
            bytes += static_cast<char>(point - kByteNotation);
        } else if (fromUtf8(page, std::string_view(utf8).substr(at, length), one, character)) {
            bytes += one;
        } else {
            return ScenarioFault::TranslationUnmappable;
        }
        at += length;
    }
    // A byte written as its stand-in may make one character with the byte
    // after it: the bytes would not read back as the translation says.
    std::string written;
    for (const char c : utf8) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
            written += kPictureLead0;
            written += kPictureLead1;
            written += static_cast<char>(0x80 + c);
        } else {
            written += c;
        }
    }
    std::string back;
    if (stringAsPoText(page, bytes, back) != Fault{} || written != back) return ScenarioFault::TranslationNotReadBack;
    return Fault{};
}

std::string characterDescription(const CodePage& page, std::uint32_t character) {
    std::string text = named(character) + ", which " + page.name + " cannot hold";
    if (const std::optional<std::uint32_t> instead = heldInstead(page, character)) {
        text += " (it holds " + named(*instead) + " instead)";
    }
    return text;
}

void addToTemplate(PoTemplate& pot, const StatementList& statements, const ScenarioText& where,
                   std::vector<Error>& warnings) {
    std::vector<ListedString> strings;
    listedStrings(statements, where, strings, &warnings);
    const std::string listing = shown(where.listing);  // no line break can enter a comment
    for (std::size_t i = 0; i < strings.size(); ++i) {
        const ListedString& listed = strings[i];
        const std::size_t line = listed.statement < where.lines.size() ? where.lines[listed.statement] : 0;
        auto [it, added] = pot.byText.try_emplace(listed.text, pot.entries.size());
        if (added) {
            TemplateEntry entry;
            entry.text = listed.text;
            entry.first = i == 0;
            if (i > 0) entry.before = strings[i - 1].text;
            pot.entries.push_back(std::move(entry));
        }
        TemplateEntry& entry = pot.entries[it->second];
        entry.references.push_back(listing + ":" + std::to_string(line));
        ++entry.occurrences;
    }
}

std::string templateText(const PoTemplate& pot) {
    PoEntry header;
    header.flags.push_back("fuzzy");
    header.translatorComments.push_back(shown(pot.description));
    // The fields of a template made by the gettext tools, so that msginit
    // fills them and msgfmt --check-header finds none missing.
    header.translation = "Project-Id-Version: " + shown(pot.project) +
                         "\nReport-Msgid-Bugs-To: \nPO-Revision-Date: YEAR-MO-DA HO:MI+ZONE\n"
                         "Last-Translator: FULL NAME <EMAIL@ADDRESS>\nLanguage-Team: LANGUAGE <LL@li.org>\n"
                         "Language: \nMIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n"
                         "Content-Transfer-Encoding: 8bit\nX-Code-Page: " +
                         std::string(pot.codePage.name) + "\n";
    std::string text = poEntryText(header);
    for (const TemplateEntry& entry : pot.entries) {
        text += "\n#. ";
        text += entry.first ? std::string("The first string of the scenario.") : "After: " + commentText(entry.before);
        text += "\n#. Occurrences: " + std::to_string(entry.occurrences) + "\n";
        // References as gettext writes them: as many to a line as fit in 79 columns.
        std::string line = "#:";
        for (const std::string& reference : entry.references) {
            if (line.size() > 2 && line.size() + 1 + reference.size() > 79) {
                text += line + "\n";
                line = "#:";
            }
            line += " " + reference;
        }
        text += line + "\nmsgid " + poQuoted(entry.text) + "\nmsgstr \"\"\n";
    }
    return text;
}

Error makeTranslationTable(const PoFile& po, std::string poName, const CodePage& page, TranslationTable& table) {
    table.poName = std::move(poName);
    table.codePage = page;
    table.byText.clear();
    table.byText.reserve(po.entries.size());
    table.withContext = 0;
    std::unordered_map<std::string, std::size_t> lines;  // each key's msgid line
    lines.reserve(po.entries.size());
    for (const PoEntry& entry : po.entries) {
        if (entry.obsolete) continue;
        const auto [it, added] = lines.try_emplace(keyOf(entry), entry.line);
        if (!added) {
            Error error = fileError(ScenarioFault::PoDuplicateEntry, table.poName);
            error.at = entry.line;
            error.of = it->second;
            error.name = entryName(entry.id);
            return error;
        }
        if (entry.isHeader()) continue;
        if (entry.hasContext) {
            ++table.withContext;
            continue;
        }
        table.byText.emplace(entry.id, &entry);
    }
    return {};
}

Error applyTranslations(StatementList& statements, LabelList& labels, const ScenarioText& where,
                        const TranslationTable& table, TranslationNotes& notes,
                        std::vector<StringReplacement>& replaced) {
    replaced.clear();
    ScenarioText decoding = where;
    decoding.codePage = table.codePage;
    std::vector<ListedString> strings;
    listedStrings(statements, decoding, strings);
    // Each entry is told once, not at every occurrence.
    std::unordered_set<const PoEntry*> told;
    const std::size_t errorsBefore = notes.errors.size();
    for (const ListedString& listed : strings) {
        const auto found = table.byText.find(listed.text);
        if (found == table.byText.end()) continue;
        const PoEntry& entry = *found->second;
        Error note = fileError(Fault{}, table.poName);
        note.at = entry.translationLine;
        note.name = entryName(entry.id);
        if (entry.plural) {
            note.at = entry.line;
            if (told.insert(&entry).second) notes.errors.push_back(note.as(ScenarioFault::PoPlural));
            continue;
        }
        if (entry.translation.empty() || entry.hasFlag("fuzzy")) continue;  // untranslated
        StringReplacement replacement{listed.statement, {}};
        std::uint32_t character = 0;
        const Fault fault = poTextAsString(table.codePage, entry.translation, stringOf(statements[listed.statement]),
                                           replacement.bytes, character);
        if (fault != Fault{}) {
            if (fault == ScenarioFault::TranslationUnmappable) note.detail = characterDescription(table.codePage, character);
            if (told.insert(&entry).second) notes.errors.push_back(note.as(fault));
            continue;
        }
        if (controlBytes(replacement.bytes) != controlBytes(stringOf(statements[listed.statement])) &&
            told.insert(&entry).second) {
            notes.warnings.push_back(note.as(ScenarioFault::PoControlBytes));
        }
        replaced.push_back(std::move(replacement));
    }
    if (notes.errors.size() > errorsBefore) {
        replaced.clear();
        return notes.errors[errorsBefore];
    }
    // Every translation can be written: only now does the model change.
    const std::vector<std::uint64_t> before = streamOffsets(statements);
    for (const StringReplacement& replacement : replaced) {
        Statement& statement = statements[replacement.statement];
        statement.data.assign(replacement.bytes.begin(), replacement.bytes.end());
        statement.data.push_back(0);
        statement.argument = static_cast<std::uint32_t>(statement.data.size());
    }
    return relayout(statements, labels, before);
}

void countTranslations(const StatementList& statements, const CodePage& page, const TranslationTable* table,
                       TranslationCounts& counts, std::unordered_set<const PoEntry*>* used) {
    counts = {};
    std::unordered_set<std::string> seen;
    std::string text;
    for (const Statement* statement : statements) {
        if (statement->opcode != kPushB || stringOf(*statement).empty()) continue;
        const std::string_view bytes = stringOf(*statement);
        bool undecoded = false;
        // A string that cannot be PO text counts as one untranslated string
        // of its own (its key starts with a NUL, which no PO text holds).
        const bool usable = stringAsPoText(page, bytes, text, &undecoded) == Fault{};
        if (!usable) text.assign(1, '\0').append(bytes);
        if (!seen.insert(text).second) continue;
        ++counts.strings;
        if (std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
            ++counts.withHighBytes;
        }
        if (undecoded) ++counts.undecoded;
        const PoEntry* entry = nullptr;
        if (usable && table != nullptr) {
            const auto found = table->byText.find(text);
            if (found != table->byText.end()) entry = found->second;
        }
        if (entry != nullptr && used != nullptr) used->insert(entry);
        if (entry == nullptr || entry->translation.empty()) ++counts.untranslated;
        else if (entry->hasFlag("fuzzy")) ++counts.fuzzy;
        else ++counts.translated;
    }
}
std::string scenarioName(std::string_view path) {
    const std::string_view name = lastPathComponent(path);
    const std::size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

}  // namespace pactools

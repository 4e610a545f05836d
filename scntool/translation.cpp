#include "translation.h"

#include <algorithm>
#include <unordered_map>

#include "text.h"

namespace pactools {

namespace {

// A PushB string's bytes, without its NUL.
std::string_view stringOf(const Statement& statement) {
    const auto end = std::find(statement.data.begin(), statement.data.end(), 0);
    return {reinterpret_cast<const char*>(statement.data.data()), static_cast<std::size_t>(end - statement.data.begin())};
}

std::string contextOf(std::string_view scenario, std::size_t ordinal) {
    return std::string(scenario) + ":" + std::to_string(ordinal);
}

std::string controlBytes(std::string_view text) {
    std::string bytes;
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20) bytes += c;
    }
    return bytes;
}

std::string codePoint(std::uint32_t point) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(point));
    return text;
}

// A comment line holds no line break: those show as \n.
std::string commentText(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

}  // namespace

std::string scenarioName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

Error makeTemplate(const StatementList& statements, const ScenarioText& where, std::string& potText) {
    PoEntry header;
    header.flags.push_back("fuzzy");
    header.translation = "Project-Id-Version: " + where.scenario +
                         "\nMIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n"
                         "Content-Transfer-Encoding: 8bit\nX-Code-Page: " +
                         std::string(where.codePage.name) + "\n";
    header.translatorComments.push_back("Strings of the scenario " + where.scenario + ", from " + where.listing + ".");
    potText = poEntryText(header);
    std::size_t ordinal = 0;
    std::string previous;
    for (std::uint32_t i = 0; i < statements.count; ++i) {
        const Statement& statement = statements[i];
        if (statement.opcode != kPushB) continue;
        ++ordinal;
        const std::size_t line = i < where.lines.size() ? where.lines[i] : 0;
        PoEntry entry;
        if (!toUtf8(where.codePage, stringOf(statement), entry.id)) {
            Error error = fileError(Fault::StringNotInCodePage, where.listing);
            error.at = line;
            error.other = where.codePage.name;
            return error;
        }
        if (entry.id.empty()) continue;  // nothing to translate; the numbering goes on
        entry.hasContext = true;
        entry.context = contextOf(where.scenario, ordinal);
        entry.references.push_back(where.listing + ":" + std::to_string(line));
        entry.extractedComments.push_back(previous.empty() ? "The first string of the scenario."
                                                           : "After: " + commentText(previous));
        potText += "\n" + poEntryText(entry);
        previous = entry.id;
    }
    return {};
}

Error applyTranslations(StatementList& statements, const ScenarioText& where, const PoFile& po, std::string_view poName,
                        std::vector<Error>& warnings) {
    // The strings by ordinal: statement index.
    std::vector<std::uint32_t> strings;
    for (std::uint32_t i = 0; i < statements.count; ++i) {
        if (statements[i].opcode == kPushB) strings.push_back(i);
    }
    const std::string prefix = where.scenario + ":";
    std::vector<std::pair<std::uint32_t, std::string>> replacements;
    for (const PoEntry& entry : po.entries) {
        if (entry.isHeader() || entry.obsolete) continue;
        Error note = fileError(Fault::None, std::string(poName));
        note.at = entry.line;
        note.name = entry.context;
        note.other = where.codePage.name;
        if (entry.plural) return note.as(Fault::PoPlural);
        // Which string: "SCENARIO:N".
        std::size_t ordinal = 0;
        const std::string_view number = std::string_view(entry.context).substr(std::min(prefix.size(), entry.context.size()));
        const bool named = entry.hasContext && entry.context.starts_with(prefix) && !number.empty() && number.size() < 10 &&
                           std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (named) ordinal = std::stoul(std::string(number));
        if (!named || ordinal == 0 || ordinal > strings.size()) {
            warnings.push_back(note.as(Fault::PoUnmatched));
            continue;
        }
        const std::uint32_t index = strings[ordinal - 1];
        if (entry.translation.empty() || entry.hasFlag("fuzzy")) continue;
        std::string source;
        if (!toUtf8(where.codePage, stringOf(statements[index]), source) || source != entry.id) {
            Error stale = note.as(Fault::PoStale);
            stale.detail = where.listing;
            stale.of = index < where.lines.size() ? where.lines[index] : 0;
            warnings.push_back(stale);
            continue;
        }
        if (entry.translation.find_first_of(std::string_view("\0\r\n", 3)) != std::string::npos) {
            return note.as(Fault::TranslationLineBreak);
        }
        std::string bytes;
        std::uint32_t character = 0;
        if (!fromUtf8(where.codePage, entry.translation, bytes, character)) {
            if (character == 0xFFFFFFFF) return note.as(Fault::TranslationNotUtf8);
            Error unmappable = note.as(Fault::TranslationUnmappable);
            unmappable.detail = codePoint(character);
            return unmappable;
        }
        if (controlBytes(entry.translation) != controlBytes(source)) warnings.push_back(note.as(Fault::PoControlBytes));
        replacements.emplace_back(index, std::move(bytes));
    }
    // Every translation could be written: only now is the model changed.
    for (auto& [index, bytes] : replacements) {
        Statement& statement = statements[index];
        statement.data.assign(bytes.begin(), bytes.end());
        statement.data.push_back(0);
        statement.argument = static_cast<std::uint32_t>(statement.data.size());
    }
    return {};
}

}  // namespace pactools

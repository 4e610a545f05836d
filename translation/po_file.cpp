#include "po_file.h"

#include "text.h"
#include "translation_faults.h"

namespace pactools {

namespace {

Error syntax(std::size_t line, std::string what) {
    Error error(TranslationFault::PoSyntax);
    error.at = line;
    error.detail = std::move(what);
    return error;
}

bool isOctal(char c) {
    return c >= '0' && c <= '7';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted string at the start of `text` (after blanks) into `value`;
// nothing but blanks may follow it.
Error quotedString(std::string_view text, std::size_t line, std::string& value) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    if (at >= text.size() || text[at] != '"') return syntax(line, "a string in double quotes was expected");
    ++at;
    for (;;) {
        if (at >= text.size()) return syntax(line, "the string has no closing quote");
        const char c = text[at++];
        if (c == '"') break;
        if (c != '\\') {
            value += c;
            continue;
        }
        if (at >= text.size()) return syntax(line, "the string has no closing quote");
        const char e = text[at++];
        switch (e) {
        case 'n': value += '\n'; break;
        case 't': value += '\t'; break;
        case 'r': value += '\r'; break;
        case 'a': value += '\a'; break;
        case 'b': value += '\b'; break;
        case 'f': value += '\f'; break;
        case 'v': value += '\v'; break;
        case '\\': value += '\\'; break;
        case '"': value += '"'; break;
        case '\'': value += '\''; break;
        case '?': value += '?'; break;
        case 'x': {
            // As gettext reads it: every hex digit that follows.
            unsigned v = 0;
            std::size_t digits = 0;
            for (; at < text.size() && hexValue(text[at]) >= 0; ++at, ++digits) v = (v << 4 | static_cast<unsigned>(hexValue(text[at]))) & 0xFF;
            if (digits == 0) return syntax(line, "\\x without hexadecimal digits");
            value += static_cast<char>(v);
            break;
        }
        default:
            if (!isOctal(e)) return syntax(line, std::string("unknown escape \\") + shown(std::string(1, e)));
            unsigned v = static_cast<unsigned>(e - '0');
            for (int more = 0; more < 2 && at < text.size() && isOctal(text[at]); ++more) v = v * 8 + static_cast<unsigned>(text[at++] - '0');
            value += static_cast<char>(v & 0xFF);
        }
    }
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    if (at != text.size()) return syntax(line, "text after the closing quote");
    return {};
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

bool PoEntry::hasFlag(std::string_view flag) const {
    for (const std::string& f : flags) {
        if (f == flag) return true;
    }
    return false;
}

std::string PoFile::headerField(std::string_view name) const {
    for (const PoEntry& entry : entries) {
        if (!entry.isHeader()) continue;
        LineReader reader(entry.translation);
        std::string_view line;
        while (reader.next(line)) {
            const std::size_t colon = line.find(':');
            if (colon != std::string_view::npos && equalsIgnoreCase(trimmed(line.substr(0, colon)), name)) {
                return std::string(trimmed(line.substr(colon + 1)));
            }
        }
    }
    return {};
}

namespace {

// The state of a PO file being read: the entry being gathered, and which
// of its fields a continued string ("...") adds to.
struct PoReader {
    enum class Field { None, Context, Id, Plural, Translation, OtherTranslation };

    PoFile& po;
    PoEntry entry;
    Field field = Field::None;
    bool hasId = false;
    bool hasTranslation = false;
    std::size_t contextLine = 0;

    // Ends the entry at `line` (0 at the end of the file, where an error
    // names the entry's own first line instead).
    Error finish(std::size_t line) {
        if (!hasId && !entry.hasContext && !hasTranslation) return {};
        if (line == 0) line = hasId ? entry.line : contextLine;
        if (!hasId) return syntax(line, "an entry without msgid");
        if (!hasTranslation) return syntax(line, "an entry without msgstr");
        po.entries.push_back(std::move(entry));
        entry = PoEntry{};
        field = Field::None;
        hasId = hasTranslation = false;
        contextLine = 0;
        return {};
    }

    // A comment line ("#..." but "#~"): it belongs to the entry that follows.
    Error comment(std::string_view line, std::size_t number) {
        if (hasTranslation) {
            if (Error error = finish(number)) return error;
        }
        std::string_view body = line.size() > 2 ? line.substr(2) : std::string_view();
        if (body.starts_with(" ")) body.remove_prefix(1);
        if (line.starts_with("#.")) {
            entry.extractedComments.emplace_back(body);
        } else if (line.starts_with("#:")) {
            entry.references.emplace_back(body);
        } else if (line.starts_with("#,")) {
            std::string_view flags = line.substr(2);
            while (!flags.empty()) {
                // Flags are separated by commas or white space ("#, fuzzy c-format").
                const std::size_t end = flags.find_first_of(", \t\v\f\r");
                const std::string_view flag = flags.substr(0, end);
                if (!flag.empty()) entry.flags.emplace_back(flag);
                flags = end == std::string_view::npos ? std::string_view() : flags.substr(end + 1);
            }
        } else if (!line.starts_with("#|")) {
            entry.translatorComments.emplace_back(line.size() > 1 ? line.substr(line[1] == ' ' ? 2 : 1) : "");
        }
        return {};
    }

    // A string continuing the field before it.
    Error continued(std::string_view content, std::size_t number) {
        std::string* target = field == Field::Context       ? &entry.context
                              : field == Field::Id          ? &entry.id
                              : field == Field::Translation ? &entry.translation
                                                            : nullptr;
        std::string ignored;
        if (field == Field::None) return syntax(number, "a string without msgid, msgstr or msgctxt before it");
        return quotedString(content, number, target != nullptr ? *target : ignored);
    }

    // A keyword line: `keyword`, then `quoted`.
    Error keywordLine(std::string_view keyword, std::string_view quoted, std::size_t number) {
        if (keyword == "msgctxt" || keyword == "msgid") {
            if (hasTranslation) {
                if (Error error = finish(number)) return error;
            }
            if (keyword == "msgctxt") {
                if (entry.hasContext || hasId) return syntax(number, "msgctxt in the wrong place");
                entry.hasContext = true;
                contextLine = number;
                field = Field::Context;
                return quotedString(quoted, number, entry.context);
            }
            if (hasId) return syntax(number, "a second msgid");
            hasId = true;
            entry.line = number;
            field = Field::Id;
            return quotedString(quoted, number, entry.id);
        }
        if (keyword == "msgid_plural") {
            if (!hasId || hasTranslation) return syntax(number, "msgid_plural in the wrong place");
            entry.plural = true;
            field = Field::Plural;
            std::string ignored;
            return quotedString(quoted, number, ignored);
        }
        if (keyword == "msgstr" || keyword.starts_with("msgstr[")) {
            if (!hasId) return syntax(number, "msgstr without msgid");
            const bool first = keyword == "msgstr" || keyword == "msgstr[0]";
            if (keyword == "msgstr" && (entry.plural || hasTranslation)) return syntax(number, "msgstr in the wrong place");
            if (keyword != "msgstr" && !entry.plural) return syntax(number, std::string(keyword) + " without msgid_plural");
            hasTranslation = true;
            if (first) entry.translationLine = number;
            field = first ? Field::Translation : Field::OtherTranslation;
            std::string other;
            return quotedString(quoted, number, first ? entry.translation : other);
        }
        return syntax(number, "unknown keyword " + shown(keyword));
    }

    // One line of the file, its CR LF or LF taken off.
    Error line(std::string_view text, std::size_t number) {
        bool obsolete = false;
        if (text.starts_with("#~")) {
            text.remove_prefix(2);
            if (text.starts_with("|")) return {};  // a previous string of an obsolete entry
            obsolete = true;
        } else if (text.starts_with("#")) {
            return comment(text, number);
        }
        const std::string_view content = trimmed(text);
        if (content.empty()) return finish(number);
        if (content.front() == '"') return continued(content, number);
        const std::size_t space = content.find_first_of(" \t\"");
        const std::string_view keyword = content.substr(0, space);
        if (Error error = keywordLine(keyword, space == std::string_view::npos ? std::string_view() : content.substr(space),
                                      number)) {
            return error;
        }
        entry.obsolete = entry.obsolete || obsolete;
        return {};
    }
};

}  // namespace

Error readPo(std::string_view text, PoFile& po) {
    PoReader reader{po, {}};
    // Lines end at LF (a CR before it is dropped), as gettext reads them: a
    // CR elsewhere is an ordinary character.
    std::string_view rest = withoutByteOrderMark(text);
    for (std::size_t number = 1; !rest.empty(); ++number) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (Error error = reader.line(line, number)) return error;
    }
    return reader.finish(0);
}

PoCounts countEntries(const PoFile& po) {
    PoCounts counts;
    for (const PoEntry& entry : po.entries) {
        if (entry.obsolete || entry.isHeader()) continue;
        if (entry.translation.empty()) ++counts.untranslated;
        else if (entry.hasFlag("fuzzy")) ++counts.fuzzy;
        else ++counts.translated;
    }
    return counts;
}

std::string poQuoted(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\t') {
            quoted += "\\t";
        } else if (byte < 0x20) {
            const char octal[] = {'\\', static_cast<char>('0' + (byte >> 6)), static_cast<char>('0' + ((byte >> 3) & 7)),
                                  static_cast<char>('0' + (byte & 7)), '\0'};
            quoted += octal;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string poEntryText(const PoEntry& entry) {
    std::string text;
    for (const std::string& comment : entry.translatorComments) text += "# " + comment + "\n";
    for (const std::string& comment : entry.extractedComments) text += "#. " + comment + "\n";
    for (const std::string& reference : entry.references) text += "#: " + reference + "\n";
    if (!entry.flags.empty()) {
        text += "#";
        for (std::size_t i = 0; i < entry.flags.size(); ++i) text += (i == 0 ? ", " : ", ") + entry.flags[i];
        text += "\n";
    }
    if (entry.hasContext) text += "msgctxt " + poQuoted(entry.context) + "\n";
    text += "msgid " + poQuoted(entry.id) + "\n";
    if (entry.isHeader() && !entry.translation.empty()) {
        // The header's fields, one line each, as gettext writes them.
        text += "msgstr \"\"\n";
        LineReader reader(entry.translation);
        std::string_view line;
        while (reader.next(line)) text += poQuoted(std::string(line) + "\n") + "\n";
    } else {
        text += "msgstr " + poQuoted(entry.translation) + "\n";
    }
    return text;
}

}  // namespace pactools

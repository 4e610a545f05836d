#include "code_page.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "code_page_tables.h"
#include "text.h"

namespace pactools {

namespace {

using code_page_tables::LeadRow;
using code_page_tables::Table;

const CodePage kCodePages[] = {
    {"CP932", 932},   {"CP936", 936},   {"CP949", 949},   {"CP950", 950},   {"CP1250", 1250}, {"CP1251", 1251},
    {"CP1252", 1252}, {"CP1253", 1253}, {"CP1254", 1254}, {"CP1255", 1255}, {"CP1256", 1256}, {"CP1257", 1257},
    {"CP1258", 1258}, kUtf8,
};

// Length of the valid UTF-8 sequence at `text`, and its code point; 0 when
// there is none.
std::size_t utf8Sequence(std::string_view text, std::uint32_t& point) {
    if (text.empty()) return 0;
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(0);
    std::size_t length = 0;
    if (lead < 0x80) {
        point = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, point = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, point = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, point = lead & 0x07;
    else return 0;
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        point = point << 6 | (byte(i) & 0x3F);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < least[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return 0;
    return length;
}

bool isC1Control(std::uint32_t point) {
    return point >= 0x80 && point <= 0x9F;
}

// Whether valid UTF-8 `text` holds a C1 control (U+0080-U+009F: C2 80 to C2 9F).
bool hasC1Control(std::string_view text) {
    for (std::size_t at = text.find('\xC2'); at != std::string_view::npos; at = text.find('\xC2', at + 1)) {
        if (at + 1 < text.size() && static_cast<std::uint8_t>(text[at + 1]) < 0xA0) return true;
    }
    return false;
}

const Table* tableOf(const CodePage& page) {
    for (const Table& table : code_page_tables::kTables) {
        if (table.number == page.number) return &table;
    }
    return nullptr;
}

// Per character of the Basic Multilingual Plane, the bytes a table's code
// page writes it with (lead << 8 | trail, or the byte), 0 when it holds no
// such character; built from the decoding tables at first use.
const std::uint16_t* encodingOf(const Table& table) {
    struct Lazy {
        std::once_flag once;
        std::unique_ptr<std::uint16_t[]> codes;
    };
    static Lazy encodings[code_page_tables::kTableCount];
    Lazy& lazy = encodings[static_cast<std::size_t>(&table - code_page_tables::kTables)];
    std::call_once(lazy.once, [&] {
        lazy.codes = std::make_unique<std::uint16_t[]>(0x10000);
        std::uint16_t* codes = lazy.codes.get();
        // In increasing order of bytes, so that the highest sequence that
        // decodes to a character is the one it is written with...
        for (std::uint16_t byte = 0x80; byte <= 0xFF; ++byte) {
            if (const std::uint16_t point = table.high[byte - 0x80]) codes[point] = byte;
        }
        for (std::size_t lead = 0x80; lead < 0x80 + table.leads.size(); ++lead) {
            const LeadRow& row = table.leads[lead - 0x80];
            for (std::size_t trail = row.first; row.last != 0 && trail <= row.last; ++trail) {
                if (const std::uint16_t point = table.points[row.offset + trail - row.first]) {
                    codes[point] = static_cast<std::uint16_t>(lead << 8 | trail);
                }
            }
        }
        // ...unless Windows writes it with another.
        for (const code_page_tables::Preferred& preferred : table.preferred) codes[preferred.character] = preferred.bytes;
    });
    return lazy.codes.get();
}

// How a code page writes characters: as UTF-8, or with the bytes `codes`
// gives (see encodingOf; none: ASCII only).
struct Encoder {
    bool utf8 = false;
    const std::uint16_t* codes = nullptr;
};

Encoder encoderOf(const CodePage& page) {
    if (page.number == kUtf8.number) return {true, nullptr};
    const Table* table = tableOf(page);
    return {false, table != nullptr ? encodingOf(*table) : nullptr};
}

// In codeOf's answers: the character is written as its UTF-8.
constexpr std::uint16_t kSameAsUtf8 = 0xFFFF;

// The bytes a code page writes `character` with (see encodingOf):
// kSameAsUtf8 for ASCII and in the UTF-8 code page, 0 when the page cannot
// hold it.
std::uint16_t codeOf(const Encoder& encoder, std::uint32_t character) {
    if (character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF) || isC1Control(character)) return 0;
    if (character < 0x80 || encoder.utf8) return kSameAsUtf8;
    if (encoder.codes == nullptr || character > 0xFFFF) return 0;
    return encoder.codes[character];
}

}  // namespace

std::optional<CodePage> findCodePage(std::string_view name) {
    for (const CodePage& page : kCodePages) {
        const std::string_view known = page.name;
        if (equalsIgnoreCase(name, known) || (known.starts_with("CP") && name == known.substr(2))) return page;
    }
    if (equalsIgnoreCase(name, "UTF8") || name == "65001") return kUtf8;
    return std::nullopt;
}

std::string codePageNames() {
    std::string names;
    for (const CodePage& page : kCodePages) {
        if (!names.empty()) names += ", ";
        names += page.name;
    }
    return names;
}

bool isValidUtf8(std::string_view text) {
    std::uint32_t point = 0;
    while (!text.empty()) {
        const std::size_t length = utf8Sequence(text, point);
        if (length == 0) return false;
        text.remove_prefix(length);
    }
    return true;
}

std::uint32_t firstCodePoint(std::string_view text) {
    std::uint32_t point = 0;
    return utf8Sequence(text, point) == 0 ? 0xFFFFFFFF : point;
}

bool toUtf8(const CodePage& page, std::string_view bytes, std::string& utf8) {
    utf8.clear();
    if (page.number == kUtf8.number) {
        if (!isValidUtf8(bytes) || hasC1Control(bytes)) return false;
        utf8.assign(bytes);
        return true;
    }
    const Table* table = tableOf(page);
    if (table == nullptr) return false;
    // Each byte gives at most three bytes of UTF-8.
    utf8.resize(bytes.size() * 3);
    char* out = utf8.data();
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<std::uint8_t>(bytes[i++]);
        if (byte < 0x80) {
            *out++ = static_cast<char>(byte);
            continue;
        }
        std::uint32_t point = table->high[byte - 0x80];
        if (point == 0 && !table->leads.empty() && i < bytes.size()) {
            const LeadRow& row = table->leads[byte - 0x80];
            const auto trail = static_cast<std::uint8_t>(bytes[i++]);
            if (row.last != 0 && trail >= row.first && trail <= row.last) point = table->points[row.offset + trail - row.first];
        }
        if (point == 0) {
            utf8.clear();
            return false;
        }
        out = putUtf8(out, point);
    }
    utf8.resize(static_cast<std::size_t>(out - utf8.data()));
    return true;
}

bool fromUtf8(const CodePage& page, std::string_view utf8, std::string& bytes, std::uint32_t& character) {
    bytes.clear();
    const Encoder encoder = encoderOf(page);
    // Never more bytes than UTF-8 takes.
    bytes.resize(utf8.size());
    char* out = bytes.data();
    std::uint32_t point = 0;
    for (std::string_view rest = utf8; !rest.empty();) {
        if (static_cast<std::uint8_t>(rest[0]) < 0x80) {
            *out++ = rest[0];
            rest.remove_prefix(1);
            continue;
        }
        const std::size_t length = utf8Sequence(rest, point);
        const std::uint16_t code = length == 0 ? 0 : codeOf(encoder, point);
        if (code == 0) {
            // Text that is not UTF-8 is reported as such wherever it goes wrong.
            bytes.clear();
            character = length != 0 && isValidUtf8(rest) ? point : 0xFFFFFFFF;
            return false;
        }
        if (code == kSameAsUtf8) {
            out = std::copy_n(rest.data(), length, out);
        } else {
            if (code > 0xFF) *out++ = static_cast<char>(code >> 8);
            *out++ = static_cast<char>(code & 0xFF);
        }
        rest.remove_prefix(length);
    }
    bytes.resize(static_cast<std::size_t>(out - bytes.data()));
    return true;
}

bool holds(const CodePage& page, std::uint32_t character) {
    return codeOf(encoderOf(page), character) != 0;
}

std::optional<std::uint32_t> heldInstead(const CodePage& page, std::uint32_t character) {
    // Characters that look alike, of which code pages often hold only one.
    static constexpr std::uint32_t kLookAlikes[][2] = {
        {0x301C, 0xFF5E},  // WAVE DASH, FULLWIDTH TILDE
        {0x2014, 0x2015},  // EM DASH, HORIZONTAL BAR
        {0x2016, 0x2225},  // DOUBLE VERTICAL LINE, PARALLEL TO
        {0x2212, 0xFF0D},  // MINUS SIGN, FULLWIDTH HYPHEN-MINUS
        {0x00A5, 0xFFE5},  // YEN SIGN, FULLWIDTH YEN SIGN
        {0x00A2, 0xFFE0},  // CENT SIGN, FULLWIDTH CENT SIGN
        {0x00A3, 0xFFE1},  // POUND SIGN, FULLWIDTH POUND SIGN
        {0x00AC, 0xFFE2},  // NOT SIGN, FULLWIDTH NOT SIGN
        {0x00A6, 0xFFE4},  // BROKEN BAR, FULLWIDTH BROKEN BAR
        {0x203E, 0xFFE3},  // OVERLINE, FULLWIDTH MACRON
        {0x00B7, 0x30FB},  // MIDDLE DOT, KATAKANA MIDDLE DOT
    };
    if (holds(page, character)) return std::nullopt;
    for (const auto& pair : kLookAlikes) {
        for (int side = 0; side < 2; ++side) {
            if (pair[side] == character && holds(page, pair[1 - side])) return pair[1 - side];
        }
    }
    return std::nullopt;
}

}  // namespace pactools

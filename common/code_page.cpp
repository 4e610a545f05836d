#include "code_page.h"

#include "platform.h"
#include "text.h"

namespace pactools {

namespace {

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
    if (page.number == kUtf8.number) {
        if (!isValidUtf8(bytes)) return false;
        utf8.assign(bytes);
        return true;
    }
    return platform::decodeCodePage(page.number, page.name, bytes, utf8);
}

bool fromUtf8(const CodePage& page, std::string_view utf8, std::string& bytes, std::uint32_t& character) {
    // The character that could not be written, found by writing one at a time.
    const auto offending = [&]() {
        std::string one;
        std::uint32_t point = 0;
        for (std::string_view rest = utf8; !rest.empty();) {
            const std::size_t length = utf8Sequence(rest, point);
            if (length == 0) return 0xFFFFFFFFu;
            if (!platform::encodeCodePage(page.number, page.name, rest.substr(0, length), one)) return point;
            rest.remove_prefix(length);
        }
        return 0xFFFFFFFFu;
    };
    if (!isValidUtf8(utf8)) {
        character = 0xFFFFFFFF;
        return false;
    }
    if (page.number == kUtf8.number) {
        bytes.assign(utf8);
        return true;
    }
    if (!platform::encodeCodePage(page.number, page.name, utf8, bytes)) {
        character = offending();
        return false;
    }
    return true;
}

}  // namespace pactools

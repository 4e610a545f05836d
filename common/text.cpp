#include "text.h"

#include <cstdarg>

namespace pactools {

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    }
    return true;
}

bool startsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool endsWithIgnoreCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && equalsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

bool LineReader::next(std::string_view& line) {
    if (position >= text.size()) return false;
    std::size_t end = text.find_first_of("\r\n", position);
    if (end == std::string_view::npos) end = text.size();
    line = text.substr(position, end - position);
    position = end + 1;
    if (end < text.size() && text[end] == '\r' && position < text.size() && text[position] == '\n') ++position;
    return true;
}

std::string_view withoutByteOrderMark(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    return text;
}

namespace {

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

void TextScanner::skipSpace() {
    while (position < text.size() && isSpace(text[position])) ++position;
}

bool TextScanner::hex(std::uint32_t& value) {
    std::size_t p = position;
    while (p < text.size() && isSpace(text[p])) ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        negative = text[p] == '-';
        ++p;
    }
    if (p + 2 < text.size() && text[p] == '0' && (text[p + 1] == 'x' || text[p + 1] == 'X') &&
        hexDigitValue(text[p + 2]) >= 0) {
        p += 2;
    }
    std::uint64_t accumulated = 0;
    std::size_t digits = 0;
    bool large = false;
    for (; p < text.size(); ++p, ++digits) {
        const int d = hexDigitValue(text[p]);
        if (d < 0) break;
        // Saturate rather than wrap, as the C library's conversion does.
        accumulated = accumulated > (UINT64_MAX >> 4) ? UINT64_MAX : (accumulated << 4) | static_cast<unsigned>(d);
        large = large || accumulated > UINT32_MAX;
    }
    if (digits == 0) return false;
    tooLarge = large;
    std::uint32_t result = static_cast<std::uint32_t>(accumulated);
    if (negative) result = 0u - result;
    value = result;
    position = p;
    return true;
}

bool TextScanner::literal(char c) {
    if (position < text.size() && text[position] == c) {
        ++position;
        return true;
    }
    return false;
}

std::string withLineEnds(std::string_view text, std::string_view lineEnd) {
    if (lineEnd == "\n") return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') out += lineEnd;
        else out += c;
    }
    return out;
}

namespace {

// The length of the invisible format character whose UTF-8 starts at `at`
// (see shown()), or 0.
std::size_t formatCharacterAt(std::string_view text, std::size_t at) {
    if (at + 2 >= text.size()) return 0;
    const auto b0 = static_cast<unsigned char>(text[at]);
    const auto b1 = static_cast<unsigned char>(text[at + 1]);
    const auto b2 = static_cast<unsigned char>(text[at + 2]);
    if (b0 == 0xEF) return b1 == 0xBB && b2 == 0xBF ? 3 : 0;  // U+FEFF
    if (b0 != 0xE2) return 0;
    if (b1 == 0x80) return (b2 >= 0x8B && b2 <= 0x8F) || (b2 >= 0xA8 && b2 <= 0xAE) ? 3 : 0;  // U+200B-F, U+2028-E
    if (b1 == 0x81) return b2 >= 0xA0 && b2 <= 0xA9 ? 3 : 0;  // U+2060-U+2069
    return 0;
}

}  // namespace

std::string shown(std::string_view name) {
    std::string text;
    text.reserve(name.size());
    static const char digits[] = "0123456789ABCDEF";
    const auto escape = [&](unsigned char byte) {
        text += "\\x";
        text += digits[byte >> 4];
        text += digits[byte & 15];
    };
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        if (byte < 0x20 || byte == 0x7F) {
            escape(byte);
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            // A C1 control in UTF-8 (U+0080-U+009F) drives terminals too.
            escape(byte);
            escape(next);
            ++i;
        } else if (const std::size_t length = formatCharacterAt(name, i)) {
            for (std::size_t k = 0; k < length; ++k) escape(static_cast<unsigned char>(name[i + k]));
            i += length - 1;
        } else {
            text += name[i];
        }
    }
    return text;
}

std::string escapedBytes(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            text += c;
        } else {
            text += "\\x";
            text += digits[byte >> 4];
            text += digits[byte & 15];
        }
    }
    return text;
}

std::string hexText(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(value));
    return buffer;
}

void say(std::FILE* out, const char* format, ...) {
    if (out == nullptr) return;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    platform::writeText(out, text);  // the console's way on Windows
}

}  // namespace pactools

namespace pactools {

void sayReason(const char* tool, std::string_view path, std::string_view reason) {
    std::fflush(stdout);
    platform::writeText(stderr, std::string(tool) + ": " + shown(path) + ": " + std::string(reason) + "\n");
}

}  // namespace pactools

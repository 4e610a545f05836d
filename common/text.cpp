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

char* putUtf8(char* out, std::uint32_t point) {
    if (point < 0x80) {
        *out++ = static_cast<char>(point);
    } else if (point < 0x800) {
        *out++ = static_cast<char>(0xC0 | point >> 6);
        *out++ = static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        *out++ = static_cast<char>(0xE0 | point >> 12);
        *out++ = static_cast<char>(0x80 | (point >> 6 & 0x3F));
        *out++ = static_cast<char>(0x80 | (point & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | point >> 18);
        *out++ = static_cast<char>(0x80 | (point >> 12 & 0x3F));
        *out++ = static_cast<char>(0x80 | (point >> 6 & 0x3F));
        *out++ = static_cast<char>(0x80 | (point & 0x3F));
    }
    return out;
}

void appendUtf8(std::string& text, std::uint32_t point) {
    char bytes[4];
    text.append(bytes, putUtf8(bytes, point));
}

std::string_view lastPathComponent(std::string_view path) {
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

namespace {

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

// Characters that show nothing, or change how the text around them reads:
// Unicode's default-ignorable code points (format characters such as the
// bidirectional overrides and isolates, zero-width characters, invisible
// fillers, variation selectors, tags) and the line and paragraph
// separators.
bool isInvisible(std::uint32_t point) {
    static const std::uint32_t ranges[][2] = {
        {0x00AD, 0x00AD}, {0x034F, 0x034F}, {0x061C, 0x061C}, {0x115F, 0x1160}, {0x17B4, 0x17B5},
        {0x180B, 0x180F}, {0x200B, 0x200F}, {0x2028, 0x202E}, {0x2060, 0x206F}, {0x3164, 0x3164},
        {0xFE00, 0xFE0F}, {0xFEFF, 0xFEFF}, {0xFFA0, 0xFFA0}, {0xFFF0, 0xFFFB}, {0x1BCA0, 0x1BCA3},
        {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
    };
    for (const auto& range : ranges) {
        if (point >= range[0] && point <= range[1]) return true;
    }
    return false;
}

// The length of the invisible character whose UTF-8 starts at `at`, or 0.
std::size_t formatCharacterAt(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u; };
    const unsigned lead = byte(0);
    std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
    if (length == 0 || lead >= 0xF5) return 0;
    std::uint32_t point = lead & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        point = point << 6 | (byte(i) & 0x3F);
    }
    return isInvisible(point) ? length : 0;
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

// Text helpers shared by the list file, makefile and listing code: line
// splitting, lenient hexadecimal scanning, upper-case hexadecimal output and
// ASCII case folding.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace pactools {

// The line end of text files written on this platform.
#ifdef _WIN32
inline constexpr std::string_view kNativeLineEnd = "\r\n";
#else
inline constexpr std::string_view kNativeLineEnd = "\n";
#endif

// White space as text files use it: blank, tab, LF, VT, FF and CR.
inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char asciiLower(char c);
bool equalsIgnoreCase(std::string_view a, std::string_view b);
bool startsWithIgnoreCase(std::string_view text, std::string_view prefix);
bool endsWithIgnoreCase(std::string_view text, std::string_view suffix);

// Hands out the lines of a text one by one.  Every line ends at an LF (or at
// the end of the text) and is cut at its first CR or LF, so CR LF and LF
// files read alike.  Lines may be of any length.
struct LineReader {
    std::string_view text;
    std::size_t position = 0;

    explicit LineReader(std::string_view t) : text(t) {}
    // Returns false at the end of the text.
    bool next(std::string_view& line);
};

// Scans text the way the formats read numbers.  `position` moves past what
// was taken, and stays put when nothing could be read.
struct TextScanner {
    std::string_view text;
    std::size_t position = 0;

    explicit TextScanner(std::string_view t, std::size_t start = 0) : text(t), position(start) {}
    void skipSpace();
    // A hexadecimal number after optional white space: an optional sign, an
    // optional "0x" prefix, digits of either case.  Values wrap to 32 bits.
    bool hex(std::uint32_t& value);
    // Up to `maxDigits` hexadecimal digits after optional white space.
    bool hexDigits(std::uint32_t& value, int maxDigits);
    // The character `c`, exactly.
    bool literal(char c);
    bool atEnd() const { return position >= text.size(); }
};

// Replaces every LF of `text` by `lineEnd`.
std::string withLineEnds(std::string_view text, std::string_view lineEnd);

// "%X": upper case, no prefix, no leading zeros.
std::string hexText(std::uint32_t value);

// printf to a message stream; a null stream swallows the message.
#if defined(__MINGW32__)
__attribute__((format(gnu_printf, 2, 3)))
#elif defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void say(std::FILE* out, const char* format, ...);

}  // namespace pactools

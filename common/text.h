// Text helpers shared by the list file, makefile and listing code: line
// splitting, lenient hexadecimal scanning, upper-case hexadecimal output and
// ASCII case folding.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform.h"

namespace pactools {

// The line end of text files written on this platform.
inline constexpr std::string_view kNativeLineEnd = platform::kNativeLineEnd;

// White space as text files use it: blank, tab, LF, VT, FF and CR.
inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char asciiLower(char c);
bool equalsIgnoreCase(std::string_view a, std::string_view b);
bool startsWithIgnoreCase(std::string_view text, std::string_view prefix);
bool endsWithIgnoreCase(std::string_view text, std::string_view suffix);

// Hands out the lines of a text one by one.  CR LF, LF and a CR alone each
// end a line, so files from any system read alike.  Lines may be of any
// length.
struct LineReader {
    std::string_view text;
    std::size_t position = 0;

    explicit LineReader(std::string_view t) : text(t) {}
    // Returns false at the end of the text.
    bool next(std::string_view& line);
};

// Drops a UTF-8 byte order mark from the start of `text`.
std::string_view withoutByteOrderMark(std::string_view text);

// Scans text the way the formats read numbers.  `position` moves past what
// was taken, and stays put when nothing could be read.
// Writes the code point `point` (up to U+10FFFF) as UTF-8 at `out` (room
// for 4 bytes); returns the end.
char* putUtf8(char* out, std::uint32_t point);
// Appends the code point `point` to `text` as UTF-8.
void appendUtf8(std::string& text, std::uint32_t point);

// The last component of a path, after its last '/' or '\\'.
std::string_view lastPathComponent(std::string_view path);

// The value of a hexadecimal digit of either case, or -1.
int hexDigitValue(char c);

struct TextScanner {
    std::string_view text;
    std::size_t position = 0;

    explicit TextScanner(std::string_view t, std::size_t start = 0) : text(t), position(start) {}
    void skipSpace();
    // A hexadecimal number after optional white space: an optional sign, an
    // optional "0x" prefix, digits of either case.  A value beyond 32 bits
    // saturates (as the C library's conversion does) and keeps its low 32
    // bits; `tooLarge` tells when the digits did not fit.
    bool hex(std::uint32_t& value);
    // The character `c`, exactly.
    bool literal(char c);
    bool atEnd() const { return position >= text.size(); }

    bool tooLarge = false;  // the last number read by hex() needed more than 32 bits
};

// Replaces every LF of `text` by `lineEnd`.
std::string withLineEnds(std::string_view text, std::string_view lineEnd);

// A name or path as messages show it: control characters (below 0x20, 0x7F,
// and the C1 controls U+0080-U+009F written in UTF-8) are written as \xHH,
// so a name cannot drive the terminal, and so are (byte by byte) the
// characters, written in UTF-8, that show nothing or change how a line
// reads: Unicode's default-ignorable code points (the bidirectional
// overrides U+202A-U+202E and isolates U+2066-U+2069, zero-width
// characters, U+061C, soft hyphens, invisible fillers, variation
// selectors, tags) and the separators U+2028 and U+2029.  Every other
// byte stays, so a name in the game's code page stays readable on a
// console set to that page.
std::string shown(std::string_view name);

// Bytes that are no text, as messages show them: printable ASCII as it
// is, every other byte as \xHH.
std::string escapedBytes(std::string_view bytes);

// "%X": upper case, no prefix, no leading zeros.
std::string hexText(std::uint32_t value);

// printf to a message stream; a null stream swallows the message.
PACTOOLS_PRINTF(2, 3)
void say(std::FILE* out, const char* format, ...);

// The system's reason for a failure whose message gives none, as one line on
// standard error: "pactool: adir: Is a directory".
void sayReason(const char* tool, std::string_view path, std::string_view reason);

}  // namespace pactools

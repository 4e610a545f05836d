// The game's code page: the legacy encodings scenario strings are written
// in, and strict conversion between them and UTF-8, the same on every
// system (the tables are code_page_tables.h's).  Nothing is ever
// substituted: a byte sequence that does not decode, or a character the code
// page cannot hold, is an error.  Bytes decode only to what the code page
// defines for them, never to a C1 control (U+0080-U+009F, refused in UTF-8
// too); a character is written only with bytes that decode to it again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pactools {

struct CodePage {
    const char* name;  // as users write it: "CP932", "UTF-8"
    unsigned number;   // the Windows code page number (65001 for UTF-8)
};

// The code page called `name` (any letter case; "932" and "CP932" alike),
// or nothing for a name it does not know.
std::optional<CodePage> findCodePage(std::string_view name);
// The names it knows, for messages: "CP932, CP936, ...".
std::string codePageNames();
inline constexpr CodePage kUtf8{"UTF-8", 65001};

// Decodes `bytes` to UTF-8; false when they do not decode.
bool toUtf8(const CodePage& page, std::string_view bytes, std::string& utf8);
// Encodes UTF-8 text; false when it is not valid UTF-8 (`character` is then
// 0xFFFFFFFF) or holds a character the code page cannot hold (`character`).
bool fromUtf8(const CodePage& page, std::string_view utf8, std::string& bytes, std::uint32_t& character);

// Whether `page` can hold `character` (a Unicode code point).
bool holds(const CodePage& page, std::uint32_t character);
// For a character `page` cannot hold, the look-alike it holds instead (the
// fullwidth tilde for the wave dash in CP932, say), or nothing.
std::optional<std::uint32_t> heldInstead(const CodePage& page, std::uint32_t character);

// UTF-8 helpers: whether `text` is valid UTF-8 (no overlong forms or
// surrogates), and the code point starting at `text` (0xFFFFFFFF if none).
bool isValidUtf8(std::string_view text);
std::uint32_t firstCodePoint(std::string_view text);

}  // namespace pactools

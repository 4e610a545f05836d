// Compares the code page tables the tools convert with against the system's
// own converter, so that the tables never rest on one source alone: Windows'
// MultiByteToWideChar and WideCharToMultiByte (run under Wine on Linux), or
// glibc's iconv.
//
// For every code page, both the tables (through toUtf8 and fromUtf8) and
// the system decode every single byte and every two bytes starting with a
// lead byte (the table's or the system's); in single-byte pages every two
// characters whose second is from the upper half (where combining marks
// are), and in UTF-8 every character's bytes; and both encode every
// character of the Basic Multilingual Plane.  The system must agree with the
// tables, or differ in one of the ways named below for its platform, each
// counted.  Prints a summary per page and every other difference; exits
// with 1 when there is any.
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "code_page.h"
#include "code_page_tables.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace {

using namespace pactools;

using Points = std::u32string;

// What a converter made of a byte sequence or a character.
struct Decoded {
    bool ok = false;
    bool incomplete = false;  // the bytes end inside a character
    Points points;
};

struct Encoded {
    bool ok = false;
    std::string bytes;
};

Points pointsOf(std::string_view utf8) {
    Points points;
    while (!utf8.empty()) {
        const std::uint32_t point = firstCodePoint(utf8);
        points += static_cast<char32_t>(point);
        utf8.remove_prefix(point < 0x80 ? 1 : point < 0x800 ? 2 : point < 0x10000 ? 3 : 4);
    }
    return points;
}

std::string utf8Of(std::uint32_t point) {
    std::string text;
    if (point < 0x80) {
        text += static_cast<char>(point);
    } else if (point < 0x800) {
        text += static_cast<char>(0xC0 | point >> 6);
        text += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        text += static_cast<char>(0xE0 | point >> 12);
        text += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (point & 0x3F));
    }
    return text;
}

std::string hex(std::string_view bytes) {
    std::string text;
    char digits[4];
    for (const char byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(static_cast<std::uint8_t>(byte)));
        text += digits;
    }
    return text.empty() ? "-" : text;
}

std::string describe(const Decoded& decoded) {
    if (!decoded.ok) return decoded.incomplete ? "incomplete" : "refused";
    std::string text;
    char point[16];
    for (const char32_t c : decoded.points) {
        std::snprintf(point, sizeof point, "%sU+%04X", text.empty() ? "" : " ", static_cast<unsigned>(c));
        text += point;
    }
    return text;
}

std::string describe(const Encoded& encoded) {
    return encoded.ok ? hex(encoded.bytes) : "refused";
}

bool isC1(char32_t c) {
    return c >= 0x80 && c <= 0x9F;
}

Decoded tableDecode(const CodePage& page, std::string_view bytes) {
    Decoded decoded;
    std::string utf8;
    decoded.ok = toUtf8(page, bytes, utf8);
    if (decoded.ok) decoded.points = pointsOf(utf8);
    return decoded;
}

bool decodesToOne(const Decoded& decoded) {
    return decoded.ok && decoded.points.size() == 1;
}

// Each platform's part below: its converter for one code page
// (SystemConverter), and the kinds of difference it may show, named:
// classifyDecoding and classifyEncoding give the kind, or nothing when the
// system must not differ from the table there.

#ifdef _WIN32

const char* const kPlatform = "Windows (MultiByteToWideChar, WideCharToMultiByte)";

class SystemConverter {
public:
    explicit SystemConverter(unsigned page) : page_(page) {}
    bool usable() const { return IsValidCodePage(page_) != 0; }
    std::string name() const { return "code page " + std::to_string(page_); }

    bool isLead(std::uint8_t byte) const {
        if (page_ == 65001) return byte >= 0xC2 && byte <= 0xF4;
        return IsDBCSLeadByteEx(page_, byte) != 0;
    }

    // MB_ERR_INVALID_CHARS: refused unless every byte is valid.
    Decoded decode(std::string_view bytes) const { return toPoints(bytes, MB_ERR_INVALID_CHARS); }
    // Without it: what Windows puts in place of the bytes.
    Decoded decodeLeniently(std::string_view bytes) const { return toPoints(bytes, 0); }

    // WC_NO_BEST_FIT_CHARS, and refused when the default character stood in
    // or the bytes do not decode to the character again.
    Encoded encode(std::uint32_t character) const {
        const wchar_t wide = static_cast<wchar_t>(character);
        char bytes[8];
        BOOL usedDefault = FALSE;
        const bool utf8 = page_ == 65001;
        const int length = WideCharToMultiByte(page_, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, sizeof bytes,
                                               nullptr, utf8 ? nullptr : &usedDefault);
        Encoded encoded;
        if (length <= 0 || usedDefault) return encoded;
        encoded.bytes.assign(bytes, static_cast<std::size_t>(length));
        const Decoded back = decode(encoded.bytes);
        encoded.ok = back.ok && back.points == Points(1, static_cast<char32_t>(character));
        return encoded;
    }

private:
    Decoded toPoints(std::string_view bytes, DWORD flags) const {
        wchar_t wide[8];
        const int length = MultiByteToWideChar(page_, flags, bytes.data(), static_cast<int>(bytes.size()), wide, 8);
        Decoded decoded;
        if (length <= 0) return decoded;
        decoded.ok = true;
        for (int i = 0; i < length; ++i) {
            if (wide[i] >= 0xD800 && wide[i] < 0xDC00 && i + 1 < length) {
                decoded.points += static_cast<char32_t>(0x10000 + ((wide[i] - 0xD800) << 10) + (wide[i + 1] - 0xDC00));
                ++i;
            } else {
                decoded.points += static_cast<char32_t>(wide[i]);
            }
        }
        return decoded;
    }

    unsigned page_;
};

const char* const kC1 = "C1 control: Windows converts it, the table refuses it";

const char* classifyDecoding(const SystemConverter&, const CodePage&, std::string_view, const Decoded& table,
                             const Decoded& system) {
    if (!table.ok && decodesToOne(system) && isC1(system.points[0])) return kC1;
    return nullptr;
}

const char* classifyEncoding(const SystemConverter&, const CodePage&, std::uint32_t character, const Encoded& table,
                             const Encoded& system) {
    if (!table.ok && system.ok && isC1(static_cast<char32_t>(character))) return kC1;
    return nullptr;
}

#else

const char* const kPlatform = "glibc iconv";

class SystemConverter {
public:
    explicit SystemConverter(unsigned page) : name_(page == 65001 ? "UTF-8" : nameOf(page)) {
        decoder_ = iconv_open("UTF-32LE", name_.c_str());
        encoder_ = iconv_open(name_.c_str(), "UTF-32LE");
    }
    ~SystemConverter() {
        if (usable()) {
            iconv_close(decoder_);
            iconv_close(encoder_);
        }
    }
    SystemConverter(const SystemConverter&) = delete;
    SystemConverter& operator=(const SystemConverter&) = delete;

    bool usable() const { return decoder_ != kClosed && encoder_ != kClosed; }
    std::string name() const { return name_; }

    bool isLead(std::uint8_t byte) const {
        const char one = static_cast<char>(byte);
        return decode(std::string_view(&one, 1)).incomplete;
    }

    Decoded decode(std::string_view bytes) const {
        std::string out;
        Decoded decoded;
        const int error = run(decoder_, bytes, out);
        decoded.ok = error == 0;
        decoded.incomplete = error == EINVAL;
        for (std::size_t i = 0; decoded.ok && i + 4 <= out.size(); i += 4) {
            const auto byte = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<std::uint8_t>(out[i + k])); };
            decoded.points += static_cast<char32_t>(byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24);
        }
        return decoded;
    }

    Encoded encode(std::uint32_t character) const {
        const char in[4] = {static_cast<char>(character & 0xFF), static_cast<char>(character >> 8 & 0xFF),
                            static_cast<char>(character >> 16 & 0xFF), 0};
        Encoded encoded;
        encoded.ok = run(encoder_, std::string_view(in, 4), encoded.bytes) == 0;
        if (!encoded.ok) encoded.bytes.clear();
        return encoded;
    }

private:
    static inline const iconv_t kClosed = reinterpret_cast<iconv_t>(-1);

    static std::string nameOf(unsigned page) {
        switch (page) {
        case 936: return "GBK";
        case 949: return "CP949";
        case 950: return "BIG5";
        default: return "CP" + std::to_string(page);
        }
    }

    // Converts all of `in` (then flushes); 0, or the errno of the failure.
    static int run(iconv_t converter, std::string_view in, std::string& out) {
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        char buffer[64];
        char* input = const_cast<char*>(in.data());
        std::size_t inputLeft = in.size();
        char* output = buffer;
        std::size_t outputLeft = sizeof buffer;
        int error = 0;
        if (iconv(converter, &input, &inputLeft, &output, &outputLeft) == static_cast<std::size_t>(-1)) error = errno;
        if (error == 0 && iconv(converter, nullptr, nullptr, &output, &outputLeft) == static_cast<std::size_t>(-1)) {
            error = errno;
        }
        out.assign(buffer, static_cast<std::size_t>(output - buffer));
        return error;
    }

    std::string name_;
    iconv_t decoder_;
    iconv_t encoder_;
};

// The user-defined areas: the pairs from first to last whose trail byte is
// within the bounds.
struct UserDefined {
    unsigned page, first, last, lowTrail, highTrail;
};
constexpr UserDefined kUserDefinedAreas[] = {
    {932, 0xF040, 0xF9FC, 0x40, 0xFC}, {936, 0xAAA1, 0xAFFE, 0xA1, 0xFE}, {936, 0xF8A1, 0xFEFE, 0xA1, 0xFE},
    {936, 0xA140, 0xA7A0, 0x40, 0xA0}, {949, 0xC9A1, 0xC9FE, 0xA1, 0xFE}, {949, 0xFEA1, 0xFEFE, 0xA1, 0xFE},
    {950, 0xFA40, 0xFEFE, 0x40, 0xFE}, {950, 0x8140, 0xA0FE, 0x40, 0xFE}, {950, 0xC6A1, 0xC8FE, 0x40, 0xFE},
};

bool isUserDefined(unsigned page, std::string_view bytes) {
    if (bytes.size() != 2) return false;
    const unsigned code = static_cast<std::uint8_t>(bytes[0]) << 8 | static_cast<std::uint8_t>(bytes[1]);
    for (const UserDefined& area : kUserDefinedAreas) {
        if (area.page == page && code >= area.first && code <= area.last && (code & 0xFF) >= area.lowTrail &&
            (code & 0xFF) <= area.highTrail) {
            return true;
        }
    }
    return false;
}

bool isPrivateUse(char32_t c) {
    return c >= 0xE000 && c <= 0xF8FF;
}

const char* const kC1 = "C1 control: glibc converts it, the table refuses it";
const char* const kUserDefined = "user-defined area: glibc does not map it";
const char* const kPrivatePair = "pair for a private-use character outside the user-defined areas: glibc does not map it";
const char* const kHolam = "CP1255 CA, U+05BA HEBREW POINT HOLAM HASER FOR VAV: glibc's table lacks it";
const char* const kComposes = "glibc composes a letter and the combining mark after it into one character";
const char* const kOneWay = "glibc one-way mapping: it writes the character with bytes that decode to another";
const char* const kDecomposes = "glibc writes the character as a letter and combining marks";
const char* const kOtherSequence = "glibc writes another of the sequences that decode to the character";

const char* classifyDecoding(const SystemConverter&, const CodePage& page, std::string_view bytes,
                             const Decoded& table, const Decoded& glibc) {
    if (!table.ok && decodesToOne(glibc) && isC1(glibc.points[0])) return kC1;
    if (decodesToOne(table) && !glibc.ok) {
        const char32_t point = table.points[0];
        if (isPrivateUse(point) && bytes.size() == 2) {
            return isUserDefined(page.number, bytes) ? kUserDefined : kPrivatePair;
        }
        if (page.number == 1255 && bytes == "\xCA") return kHolam;
    }
    if (table.ok && table.points.size() == 2 && decodesToOne(glibc)) return kComposes;
    return nullptr;
}

const char* classifyEncoding(const SystemConverter&, const CodePage& page, std::uint32_t character,
                             const Encoded& table, const Encoded& glibc) {
    const auto point = static_cast<char32_t>(character);
    if (!table.ok && glibc.ok && isC1(point)) return kC1;
    if (table.ok && !glibc.ok) {
        if (isPrivateUse(point) && table.bytes.size() == 2) {
            return isUserDefined(page.number, table.bytes) ? kUserDefined : kPrivatePair;
        }
        if (page.number == 1255 && point == 0x05BA) return kHolam;
    }
    if (glibc.ok) {
        // What glibc's bytes are in the table.
        const Decoded back = tableDecode(page, glibc.bytes);
        if (!table.ok && decodesToOne(back) && back.points[0] != point) return kOneWay;
        if (!table.ok && back.ok && back.points.size() > 1) return kDecomposes;
        if (table.ok && decodesToOne(back) && back.points[0] == point) return kOtherSequence;
    }
    return nullptr;
}

#endif

struct PageReport {
    std::size_t singles = 0;     // single bytes that decode
    std::size_t pairs = 0;       // longer sequences that decode as one character
    std::size_t sequences = 0;   // two-character sequences of single-byte pages compared
    std::size_t characters = 0;  // characters of the plane that encode
    std::map<std::string, std::size_t> expected;  // differences of each known kind
    std::vector<std::string> unexpected;
};

// Counts a difference of a known kind ("decoding: KIND"), or keeps one of none.
void note(PageReport& report, const char* direction, const char* kind, const std::string& what) {
    if (kind != nullptr) {
        ++report.expected[std::string(direction) + ": " + kind];
    } else {
        report.unexpected.push_back(what);
    }
}

bool tableLead(const CodePage& page, std::uint8_t byte) {
    if (byte < 0x80) return false;
    for (const code_page_tables::Table& table : code_page_tables::kTables) {
        if (table.number == page.number) return !table.leads.empty() && table.leads[byte - 0x80].last != 0;
    }
    return page.number == kUtf8.number && byte >= 0xC2 && byte <= 0xF4;
}

void compareDecoding(const CodePage& page, const SystemConverter& system, std::string_view bytes, PageReport& report) {
    const Decoded table = tableDecode(page, bytes);
    const Decoded other = system.decode(bytes);
    if (table.ok && bytes.size() == 1) ++report.singles;
    if (table.ok && bytes.size() > 1 && table.points.size() == 1) ++report.pairs;
    // Both refuse, whether the bytes end early or not.
    if (table.ok == other.ok && (!table.ok || table.points == other.points)) return;
    note(report, "decoding", classifyDecoding(system, page, bytes, table, other),
         "bytes " + hex(bytes) + ": table " + describe(table) + ", system " + describe(other));
}

void compareEncoding(const CodePage& page, const SystemConverter& system, std::uint32_t character, PageReport& report) {
    Encoded table;
    std::uint32_t unheld = 0;
    table.ok = fromUtf8(page, utf8Of(character), table.bytes, unheld);
    const Encoded other = system.encode(character);
    if (table.ok) ++report.characters;
    if (table.ok == other.ok && (!table.ok || table.bytes == other.bytes)) return;
    char what[32];
    std::snprintf(what, sizeof what, "U+%04X: table ", character);
    note(report, "encoding", classifyEncoding(system, page, character, table, other),
         what + describe(table) + ", system " + describe(other));
}

PageReport check(const CodePage& page, const SystemConverter& system) {
    PageReport report;
    const auto decodesAlone = [&](unsigned byte) {
        const char one = static_cast<char>(byte);
        return tableDecode(page, std::string_view(&one, 1)).ok && system.decode(std::string_view(&one, 1)).ok;
    };
    const bool singleByte = !tableLead(page, 0x81) && !system.isLead(0x81) && page.number != kUtf8.number;
    for (unsigned first = 0; first < 0x100; ++first) {
        const char bytes[2] = {static_cast<char>(first), 0};
        compareDecoding(page, system, std::string_view(bytes, 1), report);
        const auto byte = static_cast<std::uint8_t>(first);
        if (singleByte) {
            // Two characters, the second from the upper half, where combining
            // marks are: each decodes on its own, and so must they together.
            if (!decodesAlone(first)) continue;
            for (unsigned second = 0x80; second < 0x100; ++second) {
                if (!decodesAlone(second)) continue;
                const char pair[2] = {static_cast<char>(first), static_cast<char>(second)};
                compareDecoding(page, system, std::string_view(pair, 2), report);
                ++report.sequences;
            }
        } else if (tableLead(page, byte) || system.isLead(byte)) {
            for (unsigned second = 0; second < 0x100; ++second) {
                const char pair[2] = {static_cast<char>(first), static_cast<char>(second)};
                compareDecoding(page, system, std::string_view(pair, 2), report);
            }
        }
    }
    for (std::uint32_t character = 0; character < 0x10000; ++character) {
        if (character >= 0xD800 && character <= 0xDFFF) continue;
        compareEncoding(page, system, character, report);
        // UTF-8's three-byte sequences: those of every character.
        if (page.number == kUtf8.number && character >= 0x800) compareDecoding(page, system, utf8Of(character), report);
    }
    return report;
}

}  // namespace

int main() {
    std::printf("Code page tables against %s\n", kPlatform);
    std::size_t failures = 0;
    std::vector<CodePage> pages;
    for (const code_page_tables::Table& table : code_page_tables::kTables) {
        pages.push_back(*findCodePage(std::to_string(table.number)));
    }
    pages.push_back(kUtf8);
    for (const CodePage& page : pages) {
        const SystemConverter system(page.number);
        if (!system.usable()) {
            std::printf("%s: the system has no converter %s\n", page.name, system.name().c_str());
            ++failures;
            continue;
        }
        const PageReport report = check(page, system);
        std::printf("%s (system: %s): %zu single bytes and %zu longer sequences decode, %zu characters encode", page.name,
                    system.name().c_str(), report.singles, report.pairs, report.characters);
        if (report.sequences > 0) std::printf("; %zu two-character sequences compared", report.sequences);
        std::printf("\n");
        for (const auto& [kind, count] : report.expected) std::printf("    %6zu  %s\n", count, kind.c_str());
        for (const std::string& difference : report.unexpected) std::printf("    UNEXPECTED %s\n", difference.c_str());
        failures += report.unexpected.size();
    }
    if (failures > 0) {
        std::printf("%zu unexpected differences\n", failures);
        return 1;
    }
    std::printf("no unexpected differences\n");
    return 0;
}

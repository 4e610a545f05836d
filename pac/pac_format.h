// The PAC archive: a 12-byte header ("PAC", an opaque byte, the member
// count, an opaque word), a directory of 76-byte entries (name field of 64
// bytes, offset, unpacked size, stored size; integers little-endian), and
// the members' LZSS streams back to back after the directory.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "error.h"
#include "ptrvector.h"

namespace pactools {

inline constexpr std::size_t kPacHeaderSize = 12;
inline constexpr std::size_t kPacEntrySize = 76;
inline constexpr std::size_t kPacNameField = 64;
inline constexpr std::size_t kPacMaxNameLength = kPacNameField - 1;  // room for the NUL

struct PacHeader {
    std::uint8_t headerByte = 0;   // opaque, carried from and to the list file
    std::uint32_t count = 0;       // number of members
    std::uint32_t headerWord = 0;  // opaque, carried from and to the list file
};

struct PacEntry {
    std::string name;  // the bytes the archive holds, at most 63
    std::uint32_t offset = 0;
    std::uint32_t unpackedSize = 0;
    std::uint32_t storedSize = 0;
    // The name as this run reads it (name_reading.h): what every check,
    // message and file path uses.
    std::string text;
};

void encodeHeader(const PacHeader& header, std::span<std::uint8_t, kPacHeaderSize> out);
// Decodes the header fields; the magic is checked separately with isPac.
PacHeader decodeHeader(std::span<const std::uint8_t, kPacHeaderSize> in);
// True when the first three bytes are "PAC"; the fourth is not looked at.
bool isPac(std::span<const std::uint8_t> header);

// Encodes an entry; the name must be at most 63 bytes.
void encodeEntry(const PacEntry& entry, std::span<std::uint8_t, kPacEntrySize> out);
// Decodes an entry; false when its name field holds no NUL.
bool decodeEntry(std::span<const std::uint8_t, kPacEntrySize> in, PacEntry& entry);

// The byte offset of the first member's data for `count` members.
std::uint64_t pacDataStart(std::uint64_t count);

// The characters that separate folders in a member's name ('/' and '\\').
bool isNameSeparator(char c);

// A member whose name reads as `text` would write outside the current
// directory: absolute ('/' or '\' first, or a drive letter such as "C:"),
// or with a ".." component.  Empty names (no file) and names holding a line
// break (which the list file and makefile cannot carry) are refused too.
bool isUnsafeMemberName(std::string_view text);

// The path of the file of the member whose name reads as `text`: '\'
// separates directories on every platform.
std::string memberFilePath(std::string_view text);

// Checks the archive's first bytes (`prefix`, at most the header's size of
// them) against a file of `fileSize` bytes: a PAC header (else NotPac) whose
// directory fits in the file (else DirectoryPastEnd).
Error readPacHeader(std::span<const std::uint8_t> prefix, std::uint64_t fileSize, std::string_view archiveName,
                    PacHeader& header);

// Decodes the directory (`bytes`: count x 76 bytes) and checks every entry:
// a NUL-terminated name, and data that lies within the file.  Appends the
// entries (their names not yet read as text); errors name `archiveName`
// and the entry.
Error readPacDirectory(const PacHeader& header, std::span<const std::uint8_t> bytes, std::uint64_t fileSize,
                       std::string_view archiveName, PtrVector<PacEntry>& entries);

}  // namespace pactools

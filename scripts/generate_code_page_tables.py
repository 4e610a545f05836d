#!/usr/bin/env python3
"""Generates translation/code_page_tables.cpp, the tables scntool converts the
game's code pages with, from Windows' own code page tables.

Source: Windows' code page tables in Windows' NLS format as the Wine project
ships them (/usr/share/wine/nls/c_NNN.nls, Debian package libwine; Wine
builds them from Microsoft's published "best fit" tables).

What goes into the tables:
- Decoding: every byte and every lead + trail byte pair the NLS table
  defines.  Positions the NLS table fills with its default character are
  undefined (only the sequence that genuinely encodes the default character,
  the header's "translated Unicode default", is defined).  Sequences that
  map to a C1 control (U+0080-U+009F) are left out.  Bytes 0x00-0x7F are
  ASCII in every page (checked).  Single bytes the NLS table maps to
  private-use characters (CP932 A0 and FD-FF, for one) are left out too:
  Windows' own converter refuses them when asked to be strict, and so does
  every other converter.  The user-defined areas games use for their own glyphs are in the
  NLS tables as Windows maps them: the script checks every one of them
  against USER_DEFINED below and stops when one is not (none is missing
  from the tables, so none needs adding).
- Encoding: a character is written with the bytes that decode to it.  Where
  several sequences decode to the same character, the tools take the
  highest; the generated list "preferred" holds the characters for which
  Windows' Unicode-to-multibyte table chooses another sequence.  That table's
  best-fit entries (bytes that decode to another character) are never used.

Usage:
    scripts/generate_code_page_tables.py            rewrite the generated file
    scripts/generate_code_page_tables.py --check    fail when it is not up to date
"""

import argparse
import os
import struct
import sys

PAGES = [932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258]
NLS_DIR = "/usr/share/wine/nls"
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUTPUT = os.path.join(ROOT, "translation", "code_page_tables.cpp")

# The user-defined areas games use for their own glyphs, as Windows maps
# them: (first sequence, last sequence, trail byte ranges, first code point).
# An area runs through its sequences in order, skipping trail bytes outside
# the ranges, and through the code points from the first one.
USER_DEFINED = {
    932: [(0xF040, 0xF9FC, [(0x40, 0x7E), (0x80, 0xFC)], 0xE000)],
    936: [(0xAAA1, 0xAFFE, [(0xA1, 0xFE)], 0xE000),
          (0xF8A1, 0xFEFE, [(0xA1, 0xFE)], 0xE234),
          (0xA140, 0xA7A0, [(0x40, 0x7E), (0x80, 0xA0)], 0xE4C6)],
    949: [(0xC9A1, 0xC9FE, [(0xA1, 0xFE)], 0xE000),
          (0xFEA1, 0xFEFE, [(0xA1, 0xFE)], 0xE05E)],
    950: [(0xFA40, 0xFEFE, [(0x40, 0x7E), (0xA1, 0xFE)], 0xE000),
          (0x8E40, 0xA0FE, [(0x40, 0x7E), (0xA1, 0xFE)], 0xE311),
          (0x8140, 0x8DFE, [(0x40, 0x7E), (0xA1, 0xFE)], 0xEEB8),
          (0xC6A1, 0xC8FE, [(0x40, 0x7E), (0xA1, 0xFE)], 0xF6B1)],
}


class CodePage:
    """One code page as its NLS table defines it."""

    def __init__(self, number):
        self.number = number
        self.decode = {}      # byte sequence (0xXX or 0xLLTT) -> code point
        self.leads = set()    # lead bytes
        self.windows_choice = {}  # code point -> sequence Windows writes it with


def read_nls(path, number):
    """Parses an NLS code page file.

    Layout, in little-endian 16-bit words: a header (its size in words, the
    code page, the maximum character size, the default character, the
    Unicode default character, the translations of both, twelve bytes of
    lead byte ranges); a word giving the distance to the Unicode-to-multibyte
    table; the 256 words of the multibyte-to-Unicode table; a word saying
    whether a 256-word glyph table follows (then it does); a word that is
    non-zero for double-byte pages, then 256 offsets (one per byte, 0 for a
    byte that leads nothing) from the start of those offsets to each lead
    byte's 256-word sub-table; then the Unicode-to-multibyte table: 65536
    bytes for single-byte pages, 65536 words for double-byte ones.
    """
    with open(path, "rb") as f:
        data = f.read()
    words = struct.unpack("<%dH" % (len(data) // 2), data)
    header = words[0]
    page, max_size, _default, unicode_default, _trans_default, trans_unicode_default = words[1:7]
    if page != number:
        raise SystemExit("%s: code page %d, expected %d" % (path, page, number))
    lead_ranges = struct.unpack("12B", struct.pack("<6H", *words[7:13]))
    position = header
    wide_table = position + words[position] + 1
    position += 1
    single = words[position:position + 256]
    position += 256
    glyphs = words[position]
    position += 1
    if glyphs:
        position += 256  # the glyph table, not needed
    double_byte = words[position]
    position += 1
    sub_tables = {}
    if double_byte:
        offsets_at = position
        for lead in range(256):
            offset = words[offsets_at + lead]
            if offset:
                sub_tables[lead] = words[offsets_at + offset:offsets_at + offset + 256]
    if max_size == 1:
        wide = list(data[wide_table * 2:wide_table * 2 + 65536])
    else:
        wide = list(words[wide_table:wide_table + 65536])
    if len(wide) != 65536:
        raise SystemExit("%s: Unicode-to-multibyte table is cut short" % path)

    declared_leads = set()
    for i in range(0, 12, 2):
        if lead_ranges[i]:
            declared_leads.update(range(lead_ranges[i], lead_ranges[i + 1] + 1))
    if declared_leads != set(sub_tables):
        raise SystemExit("%s: lead byte ranges and sub-tables disagree" % path)

    cp = CodePage(number)
    cp.leads = declared_leads

    def defined(sequence, point):
        return point != unicode_default or sequence == trans_unicode_default

    for byte in range(256):
        if byte in sub_tables:
            continue
        point = single[byte]
        if byte < 0x80 and point != byte:
            raise SystemExit("%s: byte %02X is not ASCII" % (path, byte))
        if byte >= 0x80 and point < 0x80:
            raise SystemExit("%s: byte %02X maps into ASCII" % (path, byte))
        if defined(byte, point) and not 0x80 <= point <= 0x9F and not 0xE000 <= point <= 0xF8FF:
            cp.decode[byte] = point
    for lead, table in sub_tables.items():
        for trail in range(1, 256):  # a NUL never trails
            sequence = lead << 8 | trail
            point = table[trail]
            if not defined(sequence, point):
                continue
            if point < 0xA0:
                raise SystemExit("%s: %04X maps to U+%04X" % (path, sequence, point))
            cp.decode[sequence] = point

    # Windows' choice for each character the page holds; it must round-trip.
    for sequence, point in cp.decode.items():
        choice = wide[point]
        if cp.decode.get(choice) != point:
            raise SystemExit("%s: U+%04X is written as %X, which does not decode to it" % (path, point, choice))
        cp.windows_choice[point] = choice
    return cp


def user_defined_sequences(first, last, trails):
    return [sequence for sequence in range(first, last + 1)
            if any(low <= (sequence & 0xFF) <= high for low, high in trails)]


def check_user_defined(cp):
    for first, last, trails, first_point in USER_DEFINED.get(cp.number, []):
        for point, sequence in enumerate(user_defined_sequences(first, last, trails), first_point):
            if cp.decode.get(sequence) != point:
                raise SystemExit("CP%d: user-defined %04X is not U+%04X in the NLS table" % (cp.number, sequence, point))


def read_code_pages(nls_dir=NLS_DIR):
    pages = []
    for number in PAGES:
        cp = read_nls(os.path.join(nls_dir, "c_%d.nls" % number), number)
        check_user_defined(cp)
        pages.append(cp)
    return pages


def preferred(cp):
    """Characters Windows writes with another sequence than the highest."""
    highest = {}
    for sequence in sorted(cp.decode):
        highest[cp.decode[sequence]] = sequence
    return sorted((point, choice) for point, choice in cp.windows_choice.items() if highest[point] != choice)


def values(items, per_line, indent="    "):
    lines = []
    for i in range(0, len(items), per_line):
        lines.append(indent + ", ".join(items[i:i + per_line]) + ",")
    return lines


def generate(pages):
    out = [
        "// Generated by scripts/generate_code_page_tables.py from Windows' code page",
        "// tables in Windows' NLS format as the Wine project ships them",
        "// (/usr/share/wine/nls/c_NNN.nls, Debian package libwine).  Do not edit:",
        "// run the script again.",
        "#include \"code_page_tables.h\"",
        "",
        "namespace pactools::code_page_tables {",
        "",
        "namespace {",
        "",
    ]
    for cp in pages:
        n = cp.number
        out.append("// ---- CP%d" % n)
        out.append("")
        out.append("// Bytes 0x80-0xFF alone; 0 where undefined or a lead byte.")
        out.append("constexpr std::uint16_t kHigh%d[128] = {" % n)
        for row in range(0x80, 0x100, 16):
            items = ["0x%04X" % cp.decode.get(byte, 0) for byte in range(row, row + 16)]
            out.append("    " + ", ".join(items) + ",  // %02X" % row)
        out.append("};")
        out.append("")
        if cp.leads:
            rows = []
            points = []
            count = 0
            for lead in range(0x80, 0x100):
                trails = [s & 0xFF for s in cp.decode if s >> 8 == lead]
                if lead not in cp.leads or not trails:
                    rows.append("{}")
                    continue
                first, last = min(trails), max(trails)
                rows.append("{0x%02X, 0x%02X, %d}" % (first, last, count))
                points.append("    // %02X %02X-%02X" % (lead, first, last))
                row = ["0x%04X" % cp.decode.get(lead << 8 | trail, 0) for trail in range(first, last + 1)]
                points.extend(values(row, 16))
                count += len(row)
            out.append("// Per byte 0x80-0xFF: the trail bytes it leads and where their code points")
            out.append("// start in kPoints%d ({}: it leads nothing)." % n)
            out.append("constexpr LeadRow kLeads%d[128] = {" % n)
            for i in range(0, 128, 8):
                out.append("    " + ", ".join(rows[i:i + 8]) + ",  // %02X" % (0x80 + i))
            out.append("};")
            out.append("")
            out.append("// Code points of each lead byte's trail bytes, 0 where undefined.")
            out.append("constexpr std::uint16_t kPoints%d[] = {" % n)
            out.extend(points)
            out.append("};")
            out.append("")
        chosen = preferred(cp)
        if chosen:
            out.append("// Characters Windows writes with a lower sequence than the highest.")
            out.append("constexpr Preferred kPreferred%d[] = {" % n)
            out.extend(values(["{0x%04X, 0x%04X}" % item for item in chosen], 6))
            out.append("};")
            out.append("")
    out.append("}  // namespace")
    out.append("")
    out.append("const Table kTables[kTableCount] = {")
    for cp in pages:
        n = cp.number
        leads = "kLeads%d" % n if cp.leads else "{}"
        points = "kPoints%d" % n if cp.leads else "{}"
        chosen = "kPreferred%d" % n if preferred(cp) else "{}"
        out.append("    {%d, kHigh%d, %s, %s, %s}," % (n, n, leads, points, chosen))
    out.append("};")
    out.append("")
    out.append("}  // namespace pactools::code_page_tables")
    return "\n".join(out) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--check", action="store_true", help="fail when the committed file is not what the script writes")
    parser.add_argument("--nls-dir", default=NLS_DIR, help="where the c_NNN.nls files are (default %(default)s)")
    parser.add_argument("--output", default=OUTPUT, help="the generated file (default %(default)s)")
    args = parser.parse_args()
    write_or_check(args.output, generate(read_code_pages(args.nls_dir)), args.check, __file__)


def write_or_check(output, text, check, script):
    """Writes the generated file, or with `check` fails when it differs."""
    if check:
        try:
            with open(output, encoding="utf-8") as f:
                committed = f.read()
        except OSError as error:
            sys.exit("%s: %s" % (output, error))
        if committed != text:
            sys.exit("%s is not what %s generates: run it again" % (output, os.path.relpath(script, ROOT)))
        print("%s is up to date" % os.path.relpath(output, ROOT))
        return
    with open(output, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    print("wrote %s (%d bytes)" % (os.path.relpath(output, ROOT), len(text.encode())))

if __name__ == "__main__":
    main()

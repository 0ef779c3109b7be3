#!/usr/bin/env python3
"""Writes the character width table of the conversion engine.

A character takes the cells it takes on a fixed-pitch screen: 2 for East Asian
Wide and Fullwidth characters, 0 for combining marks and zero-width format
characters, 1 for everything else, control characters and unassigned code
points included. Where the Unicode data leave a choice, the C library's
wcwidth conventions decide (see width_of_all).

The output is C++ definitions: a two-level table for planes 0 and 1 (blocks
of 256 code points, 2 bits each, identical blocks stored once) and a sorted
list of the ranges beyond them whose width is not 1.

usage: char_width_table.py UNICODE_DATA_DIR OUTPUT.inc
       (UNICODE_DATA_DIR holds UnicodeData.txt, EastAsianWidth.txt and
       PropList.txt, as Debian's unicode-data package installs them in
       /usr/share/unicode)
"""
import os
import re
import sys

CODE_POINTS = 0x110000
TABLE_END = 0x20000  # planes 0 and 1 go into the direct table
BLOCK = 256


def data_lines(path):
    """(first, last, fields) of each data line of a UCD property file."""
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            fields = [x.strip() for x in line.split(";")]
            first, _, last = fields[0].partition("..")
            yield int(first, 16), int(last or first, 16), fields


def unicode_data(path):
    """General category and bidi class of every assigned code point."""
    category = ["Cn"] * CODE_POINTS
    bidi = [""] * CODE_POINTS
    range_first = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            fields = line.split(";")
            code = int(fields[0], 16)
            if fields[1].endswith(", First>"):
                range_first = code
                continue
            first = range_first if fields[1].endswith(", Last>") else code
            range_first = None
            for c in range(first, code + 1):
                category[c] = fields[2]
                bidi[c] = fields[4]
    return category, bidi


def width_of_all(folder):
    category, bidi = unicode_data(os.path.join(folder, "UnicodeData.txt"))
    width = [1] * CODE_POINTS
    for first, last, fields in data_lines(os.path.join(folder, "EastAsianWidth.txt")):
        if fields[1] in ("W", "F"):
            width[first:last + 1] = [2] * (last + 1 - first)
    # Marks that combine with the character before them and format
    # characters take no cell (this wins over a wide block around them).
    for c in range(CODE_POINTS):
        if category[c] in ("Mn", "Me", "Cf") or bidi[c] == "NSM":
            width[c] = 0
    # wcwidth's conventions:
    # format characters that are drawn as signs spanning the digits after them;
    for first, last, fields in data_lines(os.path.join(folder, "PropList.txt")):
        if fields[1] == "Prepended_Concatenation_Mark":
            width[first:last + 1] = [1] * (last + 1 - first)
    # the soft hyphen, which many screens draw as a hyphen;
    width[0x00AD] = 1
    # Hangul medial vowels and final consonants, which join the initial
    # consonant before them into one syllable;
    for c in list(range(0x1160, 0x1200)) + list(range(0xD7B0, 0xD800)):
        if category[c] != "Cn":
            width[c] = 0
    # circled numbers on black squares and the hexagram symbols, which CJK
    # fonts draw two cells wide.
    for c in list(range(0x3248, 0x3250)) + list(range(0x4DC0, 0x4E00)):
        width[c] = 2
    return width


def unicode_version(folder):
    with open(os.path.join(folder, "EastAsianWidth.txt"), encoding="utf-8") as f:
        match = re.search(r"EastAsianWidth-([0-9.]+)\.txt", f.readline())
    return match.group(1) if match else "unknown"


def packed_block(width, start):
    """64 bytes: 2 bits a code point, the lowest bits first."""
    out = []
    for i in range(start, start + BLOCK, 4):
        out.append(width[i] | width[i + 1] << 2 | width[i + 2] << 4 | width[i + 3] << 6)
    return tuple(out)


def ranges_beyond(width):
    """(first, last, width) of each run beyond the table whose width is not 1."""
    runs = []
    c = TABLE_END
    while c < CODE_POINTS:
        if width[c] == 1:
            c += 1
            continue
        first = c
        while c + 1 < CODE_POINTS and width[c + 1] == width[first]:
            c += 1
        runs.append((first, c, width[first]))
        c += 1
    return runs


def write_header(path, folder):
    width = width_of_all(folder)
    blocks = []
    index_of = {}
    block_of = []
    for start in range(0, TABLE_END, BLOCK):
        block = packed_block(width, start)
        if block not in index_of:
            index_of[block] = len(blocks)
            blocks.append(block)
        block_of.append(index_of[block])
    if len(blocks) > 256:
        raise SystemExit("char_width_table.py: %d distinct blocks, more than one-byte indexes reach"
                         % len(blocks))
    runs = ranges_beyond(width) or [(CODE_POINTS, CODE_POINTS, 1)]

    # Definitions of what engine/char_width.h declares; char_width.cpp
    # includes this file after that header.
    lines = [
        "// Generated by tools/char_width_table.py from the Unicode %s data; do not edit."
        % unicode_version(folder),
        "namespace char_width_detail {",
        "",
        'const char kUnicodeVersion[] = "%s";' % unicode_version(folder),
        "",
        "// The block of each 256 code points below 0x%X." % TABLE_END,
        "const uint8_t kBlockOf[%d] = {" % len(block_of),
    ]
    for i in range(0, len(block_of), 16):
        lines.append("    " + " ".join("%d," % b for b in block_of[i:i + 16]))
    lines += [
        "};",
        "",
        "// The distinct blocks: 2 bits of width a code point, the lowest first.",
        "const uint8_t kBlocks[%d][64] = {" % len(blocks),
    ]
    for block in blocks:
        lines.append("    {")
        for i in range(0, 64, 16):
            lines.append("        " + " ".join("0x%02X," % b for b in block[i:i + 16]))
        lines.append("    },")
    lines += [
        "};",
        "",
        "// From 0x%X on, sorted: the runs whose width is not 1." % TABLE_END,
        "const WidthRange kRanges[%d] = {" % len(runs),
    ]
    for first, last, w in runs:
        lines.append("    {0x%X, 0x%X, %d}," % (first, last, w))
    lines += ["};", "", "}  // namespace char_width_detail", ""]

    text = "\n".join(lines)
    # Rewritten only when it changes, so that a rerun does not rebuild.
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    write_header(argv[2], argv[1])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

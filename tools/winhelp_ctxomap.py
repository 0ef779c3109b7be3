#!/usr/bin/env python3
"""Fills the context-number map (|CTXOMAP) of a WinHelp file.

The help file's writer gives topics context strings only; a program that asks
for a topic by number (WinHelp with HELP_CONTEXT) needs the |CTXOMAP internal
file, which maps numbers to topic offsets. This step looks each context string
up in |CONTEXT (by its hash), writes a new |CTXOMAP at the end of the file,
points the directory entry at it and corrects the total size in the header.
Everything else stays byte for byte.

usage: winhelp_ctxomap.py FILE.hlp NUMBER=CONTEXT [NUMBER=CONTEXT ...]
       (NUMBER in decimal or 0x hex, for example 0x20066=IDH_MAIN)
"""
import struct
import sys

MAGIC = 0x00035F3F
BTREE_MAGIC = 0x293B
BTREE_HEADER = 38
FILE_HEADER = 9


class HelpFileError(Exception):
    pass


def context_hash(name):
    """The hash under which |CONTEXT stores a context string (signed 32 bits)."""
    value = 0
    for ch in name:
        if "1" <= ch <= "9":
            code = ord(ch) - ord("0")
        elif ch == "0":
            code = 10
        elif ch == ".":
            code = 12
        elif ch == "_":
            code = 13
        elif ch.isascii() and ch.isalpha():
            code = ord(ch.upper()) - ord("A") + 17
        else:
            raise HelpFileError("context string %r: character %r has no hash code" % (name, ch))
        value = (value * 43 + code) & 0xFFFFFFFF
    return value - 0x100000000 if value & 0x80000000 else value


def _u16(data, pos):
    return struct.unpack_from("<H", data, pos)[0]


def _i16(data, pos):
    return struct.unpack_from("<h", data, pos)[0]


def _u32(data, pos):
    return struct.unpack_from("<I", data, pos)[0]


def _btree_leaves(data, start, structure):
    """Yields (page bytes offset, entry count) for each leaf of the B+ tree whose
    internal file starts at `start` (its 9-byte header included)."""
    tree = start + FILE_HEADER
    if tree + BTREE_HEADER > len(data) or _u16(data, tree) != BTREE_MAGIC:
        raise HelpFileError("no B+ tree at offset %d" % start)
    found = data[tree + 6:tree + 22].split(b"\0", 1)[0].decode("ascii", "replace")
    if found != structure:
        raise HelpFileError("B+ tree at offset %d has structure %r, expected %r" % (start, found, structure))
    page_size = _u16(data, tree + 4)
    root = _i16(data, tree + 26)
    levels = _i16(data, tree + 32)
    pages = tree + BTREE_HEADER

    def page_at(index):
        offset = pages + index * page_size
        if index < 0 or offset + page_size > len(data):
            raise HelpFileError("B+ tree page %d lies outside the file" % index)
        return offset

    page = root
    for _ in range(levels - 1):  # index pages: follow the first child down
        page = _i16(data, page_at(page) + 4)
    seen = set()
    while page != -1:
        if page in seen:
            raise HelpFileError("B+ tree leaf chain loops")
        seen.add(page)
        offset = page_at(page)
        yield offset + 8, _i16(data, offset + 2)
        page = _i16(data, offset + 6)


def directory(data):
    """Maps internal file names to (offset, position of that offset in the file)."""
    if len(data) < 16 or _u32(data, 0) != MAGIC:
        raise HelpFileError("not a WinHelp file")
    entries = {}
    for pos, count in _btree_leaves(data, _u32(data, 4), "z4"):
        for _ in range(count):
            end = data.index(b"\0", pos)
            name = data[pos:end].decode("latin-1")
            entries[name] = (_u32(data, end + 1), end + 1)
            pos = end + 5
    return entries


def context_offsets(data, files):
    """Maps context-string hashes to topic offsets."""
    if "|CONTEXT" not in files:
        raise HelpFileError("the file has no |CONTEXT")
    offsets = {}
    for pos, count in _btree_leaves(data, files["|CONTEXT"][0], "L4"):
        for i in range(count):
            hashed, topic = struct.unpack_from("<iI", data, pos + 8 * i)
            offsets[hashed] = topic
    return offsets


def fill_ctxomap(data, pairs):
    """Returns the file with a |CTXOMAP mapping each (number, context) pair."""
    data = bytearray(data)
    files = directory(data)
    if "|CTXOMAP" not in files:
        raise HelpFileError("the file has no |CTXOMAP entry to point at the map")
    offsets = context_offsets(data, files)
    numbers = set()
    body = bytearray(struct.pack("<H", len(pairs)))
    for number, context in sorted(pairs):
        if number in numbers:
            raise HelpFileError("context number 0x%X given twice" % number)
        numbers.add(number)
        hashed = context_hash(context)
        if hashed not in offsets:
            raise HelpFileError("no topic has the context string %r" % context)
        body += struct.pack("<iI", number, offsets[hashed])
    start = len(data)
    data += struct.pack("<IIB", len(body) + FILE_HEADER, len(body), 0) + body
    struct.pack_into("<I", data, files["|CTXOMAP"][1], start)
    struct.pack_into("<I", data, 12, len(data))
    return bytes(data)


def read_ctxomap(data):
    """The (number, topic offset) pairs of the file's |CTXOMAP."""
    start = directory(data)["|CTXOMAP"][0] + FILE_HEADER
    count = _u16(data, start)
    return [struct.unpack_from("<iI", data, start + 2 + 8 * i) for i in range(count)]


def parse_pair(text):
    number, sep, context = text.partition("=")
    if not sep or not context:
        raise HelpFileError("expected NUMBER=CONTEXT, got %r" % text)
    try:
        value = int(number, 0)
    except ValueError:
        raise HelpFileError("not a number: %r" % number)
    if not -0x80000000 <= value <= 0x7FFFFFFF:
        raise HelpFileError("context number out of range: %r" % number)
    return value, context


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    path = argv[1]
    try:
        pairs = [parse_pair(arg) for arg in argv[2:]]
        with open(path, "rb") as f:
            data = f.read()
        result = fill_ctxomap(data, pairs)
    except (OSError, HelpFileError) as e:
        sys.stderr.write("winhelp_ctxomap: %s: %s\n" % (path, e))
        return 1
    with open(path, "wb") as f:
        f.write(result)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

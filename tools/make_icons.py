#!/usr/bin/env python3
"""Writes Velmora's icons (resources/velmora.ico, resources/setup.ico) from the
pixel art below: 32x32 and 16x16 images with the 16 standard colours.

Run from anywhere: python3 tools/make_icons.py [output folder]
"""
import os
import struct
import sys

# The standard 16-colour palette, indexed by the letters used in the art.
# '.' is transparent (mask bit set, colour 0).
PALETTE = [
    ("K", (0x00, 0x00, 0x00)),  # black
    ("M", (0x80, 0x00, 0x00)),  # dark red
    ("D", (0x00, 0x80, 0x00)),  # dark green
    ("O", (0x80, 0x80, 0x00)),  # olive
    ("N", (0x00, 0x00, 0x80)),  # navy
    ("P", (0x80, 0x00, 0x80)),  # purple
    ("T", (0x00, 0x80, 0x80)),  # teal
    ("S", (0xC0, 0xC0, 0xC0)),  # silver
    ("G", (0x80, 0x80, 0x80)),  # grey
    ("R", (0xFF, 0x00, 0x00)),  # red
    ("L", (0x00, 0xFF, 0x00)),  # lime
    ("Y", (0xFF, 0xFF, 0x00)),  # yellow
    ("B", (0x00, 0x00, 0xFF)),  # blue
    ("F", (0xFF, 0x00, 0xFF)),  # fuchsia
    ("C", (0x00, 0xFF, 0xFF)),  # cyan
    ("W", (0xFF, 0xFF, 0xFF)),  # white
]
INDEX = {letter: i for i, (letter, _) in enumerate(PALETTE)}

# The program: a text page whose tab marks (red arrow up to a stop) line the
# text up in a column.
PROGRAM_32 = [
    "................................",
    ".....KKKKKKKKKKKKKKKKK..........",
    ".....KWWWWWWWWWWWWWWWKK.........",
    ".....KWWWWWWWWWWWWWWWKSK........",
    ".....KWWGGGGGGGGGGGWWKSSK.......",
    ".....KWWWWWWWWWWWWWWWKSSSK......",
    ".....KWWWWWWWWWWWWWWWKKKKKKG....",
    ".....KWWWWRWWWWWWWWWWWWWWWKG....",
    ".....KWWWWWRWWNWWWWWWWWWWWKG....",
    ".....KWWRRRRRWNWBBBBBBBBBWKG....",
    ".....KWWWWWRWWNWWWWWWWWWWWKG....",
    ".....KWWWWRWWWWWWWWWWWWWWWKG....",
    ".....KWWWWWWWWWWWWWWWWWWWWKG....",
    ".....KWWGGGGGGGGGGGGGGGGWWKG....",
    ".....KWWWWWWWWWWWWWWWWWWWWKG....",
    ".....KWWWWRWWWWWWWWWWWWWWWKG....",
    ".....KWWWWWRWWNWWWWWWWWWWWKG....",
    ".....KWWRRRRRWNWBBBBBBBWWWKG....",
    ".....KWWWWWRWWNWWWWWWWWWWWKG....",
    ".....KWWWWRWWWWWWWWWWWWWWWKG....",
    ".....KWWWWWWWWWWWWWWWWWWWWKG....",
    ".....KWWGGGGGGGGGGGGGGGGGWKG....",
    ".....KWWWWWWWWWWWWWWWWWWWWKG....",
    ".....KWWWWRWWWWWWWWWWWWWWWKG....",
    ".....KWWWWWRWWNWWWWWWWWWWWKG....",
    ".....KWWRRRRRWNWBBBBBBBBWWKG....",
    ".....KWWWWWRWWNWWWWWWWWWWWKG....",
    ".....KWWWWRWWWWWWWWWWWWWWWKG....",
    ".....KWWWWWWWWWWWWWWWWWWWWKG....",
    ".....KWWWWWWWWWWWWWWWWWWWWKG....",
    ".....KKKKKKKKKKKKKKKKKKKKKKG....",
    "......GGGGGGGGGGGGGGGGGGGGGG....",
]

PROGRAM_16 = [
    "..KKKKKKKKK.....",
    "..KWWWWWWWKK....",
    "..KWGGGGGWKSK...",
    "..KWWWWWWWKKKK..",
    "..KWWWWWWWWWWK..",
    "..KWWRWNWWWWWK..",
    "..KWRRRNWBBBBK..",
    "..KWWRWNWWWWWK..",
    "..KWWWWWWWWWWK..",
    "..KWWWWWWWWWWK..",
    "..KWWRWNWWWWWK..",
    "..KWRRRNWBBBWK..",
    "..KWWRWNWWWWWK..",
    "..KWWWWWWWWWWK..",
    "..KWWWWWWWWWWK..",
    "..KKKKKKKKKKKK..",
]

# The installer: an open carton with a green arrow going in.
SETUP_32 = [
    ".............DLLLLD.............",
    ".............DLLLLD.............",
    ".............DLLLLD.............",
    ".............DLLLLD.............",
    ".............DLLLLD.............",
    ".............DLLLLD.............",
    ".............DLLLLD.............",
    ".............DLLLLD.............",
    "..........DDDDLLLLDDDD..........",
    "...........DLLLLLLLLD...........",
    "KKKK........DLLLLLLD........KKKK",
    "KYYYK..KKKKKKDLLLLDKKKKKK..KYYYK",
    ".KYYYK.KMMMMMMDLLDMMMMMMK.KYYYK.",
    "..KYYYKKMMMMMMMDDMMMMMMMKKYYYK..",
    "...KYYYKMMMMMMMMMMMMMMMMKYYYK...",
    "....KKKKKKKKKKKKKKKKKKKKKKKK....",
    "....KYYYYYYYYYYYYYYYYYYYYYOK....",
    "....KYYYYYYYYYYYYYYYYYYYYYOK....",
    "....KYYYYYYYYYYYYYYYYYYYYYOK....",
    "....KYYYYKKKKKKKKKKKKKKYYYOK....",
    "....KYYYYKWWWWWWWWWWWWKYYYOK....",
    "....KYYYYKWWWWWWWWWWWWKYYYOK....",
    "....KYYYYKWGGGGGGGGWWWKYYYOK....",
    "....KYYYYKWWWWWWWWWWWWKYYYOK....",
    "....KYYYYKWGGGGGGWWWWWKYYYOK....",
    "....KYYYYKWWWWWWWWWWWWKYYYOK....",
    "....KYYYYKKKKKKKKKKKKKKYYYOK....",
    "....KYYYYYYYYYYYYYYYYYYYYYOK....",
    "....KYYYYYYYYYYYYYYYYYYYYYOK....",
    "....KOOOOOOOOOOOOOOOOOOOOOOK....",
    "....KKKKKKKKKKKKKKKKKKKKKKKK....",
    "................................",
]

SETUP_16 = [
    "......DLLD......",
    "......DLLD......",
    "......DLLD......",
    "......DLLD......",
    "....DDLLLLDD....",
    "KK.KKDLLLLDKK.KK",
    "KYKKMMDLLDMMKKYK",
    ".KYKMMMDDMMMKYK.",
    ".KKKKKKKKKKKKKK.",
    ".KYYYYYYYYYYYOK.",
    ".KYYYWWWWWWYYOK.",
    ".KYYYWGGGGWYYOK.",
    ".KYYYWWWWWWYYOK.",
    ".KYYYYYYYYYYYOK.",
    ".KOOOOOOOOOOOOK.",
    ".KKKKKKKKKKKKKK.",
]


def dib(art):
    """A 4-bit icon image: header, palette, colour rows, mask rows (bottom-up)."""
    size = len(art)
    if any(len(row) != size for row in art):
        raise ValueError("art must be square")
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor_rows = []
    and_rows = []
    for row in reversed(art):
        nibbles = [0 if ch == "." else INDEX[ch] for ch in row]
        packed = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(packed.ljust(xor_stride, b"\0"))
        bits = 0
        for ch in row:
            bits = (bits << 1) | (1 if ch == "." else 0)
        mask = bits.to_bytes(size // 8, "big")
        and_rows.append(mask.ljust(and_stride, b"\0"))
    pixels = b"".join(xor_rows) + b"".join(and_rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(pixels), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for _, (r, g, b) in PALETTE)
    return header + palette + pixels


def ico(*arts):
    images = [dib(art) for art in arts]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for art, image in zip(arts, images):
        size = len(art)
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources")
    for name, arts in (("velmora.ico", (PROGRAM_32, PROGRAM_16)),
                       ("setup.ico", (SETUP_32, SETUP_16))):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(ico(*arts))


if __name__ == "__main__":
    main()

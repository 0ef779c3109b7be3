#!/usr/bin/env python3
"""Writes Velmora's icons (resources/velmora.ico, setup.ico, uninstall.ico).

Each icon holds 32x32 and 16x16 images with the 16 standard colours, drawn
as the pixel art below, and 48x48 and 256x256 images in full colour with
alpha for today's Explorer, drawn from the shapes further below (the same
picture, smoothed). The 256-pixel image is stored as PNG, as Windows Vista
and later expect.

Run from anywhere: python3 tools/make_icons.py [output folder]
"""
import os
import struct
import sys
import zlib

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


# The uninstaller: the installer's carton with a red arrow coming out of it.
UNINSTALL_32 = [
    "..............KRK...............",
    ".............KRRRK..............",
    "............KRRRRRK.............",
    "...........KRRRRRRRK............",
    "..........KRRRRRRRRRK...........",
    ".........KRRRRRRRRRRRK..........",
    "........KKKKKRRRRRKKKKK.........",
    "............KRRRRRK.............",
    "............KRRRRRK.............",
    "............KRRRRRK.............",
    "KKKK........KRRRRRK.........KKKK",
    "KYYYK..KKKKKKRRRRRKKKKKKK..KYYYK",
    ".KYYYK.KMMMMKRRRRRKMMMMMK.KYYYK.",
    "..KYYYKKMMMMKRRRRRKMMMMMKKYYYK..",
    "...KYYYKMMMMKRRRRRKMMMMMKYYYK...",
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

UNINSTALL_16 = [
    ".......KK.......",
    "......KRRK......",
    ".....KRRRRK.....",
    "....KRRRRRRK....",
    "....KKKRRKKK....",
    "KK.KKKKRRKKKK.KK",
    "KYKKMMKRRKMMKKYK",
    ".KYKMMKRRKMMKYK.",
    ".KKKKKKKKKKKKKK.",
    ".KYYYYYYYYYYYOK.",
    ".KYYYWWWWWWYYOK.",
    ".KYYYWGGGGWYYOK.",
    ".KYYYWWWWWWYYOK.",
    ".KYYYYYYYYYYYOK.",
    ".KOOOOOOOOOOOOK.",
    ".KKKKKKKKKKKKKK.",
]

# The full-colour pictures: shapes on a 32-unit square (the pixel art's
# grid), painted in order. A shape is (colour, polygon); colours are RGBA.
INK = (0x20, 0x20, 0x28, 255)
PAPER = (0xFF, 0xFF, 0xFF, 255)
SHADOW = (0x00, 0x00, 0x00, 70)
FOLD = (0xC8, 0xCC, 0xD4, 255)
RULE = (0x9A, 0x9E, 0xA8, 255)
TAB_RED = (0xD8, 0x24, 0x20, 255)
STOP_NAVY = (0x1C, 0x2C, 0x80, 255)
TEXT_BLUE = (0x24, 0x5C, 0xE0, 255)
CARTON = (0xF4, 0xC8, 0x30, 255)
CARTON_SIDE = (0xB8, 0x8C, 0x18, 255)
CARTON_INSIDE = (0x7C, 0x30, 0x18, 255)
LABEL = (0xFA, 0xFA, 0xF4, 255)
ARROW_GREEN = (0x20, 0xA8, 0x3C, 255)
ARROW_RED = (0xD8, 0x24, 0x20, 255)


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def outlined(colour, points, width=0.9):
    """The shape in ink with `colour` inside, `width` units in from its edge
    (for convex shapes given clockwise on screen)."""
    return [(INK, points), (colour, inset(points, width))]


def inset(points, d):
    # Each edge moved inwards by d; corners where neighbouring edges meet.
    n = len(points)
    lines = []
    for i in range(n):
        (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
        dx, dy = x1 - x0, y1 - y0
        length = (dx * dx + dy * dy) ** 0.5
        nx, ny = -dy / length, dx / length  # inward for clockwise on screen
        lines.append(((x0 + nx * d, y0 + ny * d), (dx, dy)))
    out = []
    for i in range(n):
        (p, r), (q, s) = lines[i - 1], lines[i]
        cross = r[0] * s[1] - r[1] * s[0]
        t = ((q[0] - p[0]) * s[1] - (q[1] - p[1]) * s[0]) / cross
        out.append((p[0] + t * r[0], p[1] + t * r[1]))
    return out


def program_shapes():
    page = [(5, 1), (22, 1), (27, 6), (27, 31), (5, 31)]
    shapes = [(SHADOW, [(7, 3), (24, 3), (29, 8), (29, 32.5), (7, 32.5)])]
    shapes += outlined(PAPER, page)
    shapes += [(INK, [(21.4, 1.4), (21.4, 6.6), (26.6, 6.6)]),
               (FOLD, [(22.2, 2.8), (22.2, 5.8), (25.2, 5.8)])]
    shapes.append((RULE, rect(7.5, 3.6, 19, 4.6)))
    for top, length in ((8, 10), (16, 8), (24, 9)):
        mid = top + 2
        # The tab: a red arrow up to the tab stop, then the lined-up text.
        shapes += [(TAB_RED, rect(7.5, mid - 0.6, 11.5, mid + 0.6)),
                   (TAB_RED, [(10.5, mid - 2.2), (13, mid), (10.5, mid + 2.2)]),
                   (STOP_NAVY, rect(13.6, top - 0.2, 14.6, top + 4.2)),
                   (TEXT_BLUE, rect(15.6, mid - 0.8, 15.6 + length, mid + 0.8))]
    return shapes


def carton_shapes():
    shapes = [(SHADOW, rect(6, 17, 30, 32.5))]
    # Flaps, open to both sides, and the dark inside behind the arrow.
    shapes += outlined(CARTON, [(0.5, 10.5), (4.5, 10.5), (8.5, 15.5), (4.5, 15.5)], 0.8)
    shapes += outlined(CARTON, [(27.5, 10.5), (31.5, 10.5), (27.5, 15.5), (23.5, 15.5)], 0.8)
    shapes += outlined(CARTON_INSIDE, rect(7.5, 11.5, 24.5, 16), 0.8)
    return shapes


def carton_front():
    shapes = outlined(CARTON, rect(4.5, 15.5, 27.5, 31))
    shapes += [(CARTON_SIDE, rect(25, 16.4, 26.6, 30.1)),
               (CARTON_SIDE, rect(5.4, 28.5, 26.6, 30.1))]
    shapes += outlined(LABEL, rect(9.5, 19, 22.5, 27), 0.8)
    shapes += [(RULE, rect(11, 21.4, 19.5, 22.4)), (RULE, rect(11, 23.8, 17.5, 24.8))]
    return shapes


def setup_shapes():
    arrow = [(13.5, 0), (18.5, 0), (18.5, 8.5), (22, 8.5), (16, 15.5), (10, 8.5), (13.5, 8.5)]
    return carton_shapes() + outlined(ARROW_GREEN, arrow, 0.8) + carton_front()


def uninstall_shapes():
    arrow = [(16, 0), (22.5, 6.5), (18.5, 6.5), (18.5, 15.5), (13.5, 15.5), (13.5, 6.5),
             (9.5, 6.5)]
    return carton_shapes() + outlined(ARROW_RED, arrow, 0.8) + carton_front()


def render(shapes, size, samples=4):
    """RGBA rows, top-down: each shape filled by scan lines on a grid of
    samples x samples per pixel and painted over the ones before; a pixel's
    colour is the average of its samples (premultiplied)."""
    grid = size * samples
    scale = grid / 32.0
    layer = [[0.0, 0.0, 0.0, 0.0] for _ in range(grid * grid)]
    for (r, g, b, a), points in shapes:
        alpha = a / 255.0
        pts = [(x * scale, y * scale) for x, y in points]
        ys = [y for _, y in pts]
        for row in range(max(0, int(min(ys))), min(grid, int(max(ys)) + 1)):
            yc = row + 0.5
            xs = []
            for i in range(len(pts)):
                (x0, y0), (x1, y1) = pts[i - 1], pts[i]
                if (y0 <= yc < y1) or (y1 <= yc < y0):
                    xs.append(x0 + (yc - y0) * (x1 - x0) / (y1 - y0))
            xs.sort()
            for left, right in zip(xs[0::2], xs[1::2]):
                for col in range(max(0, int(left + 0.5)), min(grid, int(right + 0.5))):
                    px = layer[row * grid + col]
                    keep = 1.0 - alpha
                    px[0] = r * alpha + px[0] * keep
                    px[1] = g * alpha + px[1] * keep
                    px[2] = b * alpha + px[2] * keep
                    px[3] = alpha + px[3] * keep
    rows = []
    n = samples * samples
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                base = (y * samples + sy) * grid + x * samples
                for sx in range(samples):
                    px = layer[base + sx]
                    for k in range(4):
                        acc[k] += px[k]
            a = acc[3] / n
            if a <= 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(min(255, round(acc[k] / n / a)) for k in range(3))
                           + (round(a * 255),))
        rows.append(row)
    return rows


def dib32(rows):
    """A 32-bit icon image with alpha: header, colour rows, mask rows (bottom-up)."""
    size = len(rows)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    and_stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        bits = 0
        for *_, a in row:
            bits = (bits << 1) | (1 if a == 0 else 0)
        mask += bits.to_bytes(size // 8, "big").ljust(and_stride, b"\0")
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return header + colour + mask


def png(rows):
    size = len(rows)
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


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


def ico(arts, shapes):
    """The 16-colour images of `arts`, then 48 (bitmap) and 256 (PNG) pixels
    in full colour from `shapes`."""
    entries = []  # (size, colours, bit count, data)
    for art in arts:
        entries.append((len(art), 16, 4, dib(art)))
    entries.append((48, 0, 32, dib32(render(shapes, 48))))
    entries.append((256, 0, 32, png(render(shapes, 256, samples=2))))
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, colours, bits, image in entries:
        # 256 is written as 0 in the directory's byte.
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits,
                           len(image), offset)
        offset += len(image)
    return out + b"".join(image for *_, image in entries)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources")
    for name, arts, shapes in (("velmora.ico", (PROGRAM_32, PROGRAM_16), program_shapes()),
                               ("setup.ico", (SETUP_32, SETUP_16), setup_shapes()),
                               ("uninstall.ico", (UNINSTALL_32, UNINSTALL_16),
                                uninstall_shapes())):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(ico(arts, shapes))


if __name__ == "__main__":
    main()

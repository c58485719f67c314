#!/usr/bin/env python3
"""Draws the example covers of examples/images: simple geometric artwork with the title lettered
in a small built-in pixel font, written as PNG files with nothing but the standard library. The
folder is laid out as the desktop program keeps its images: ID + "f" (front) or "b" (back), small
copies of the same names in "thumbnails". Run it again to redraw: the output depends only on the
titles and their IDs.

    python3 examples/draw_covers.py [COLLECTION.xml] [FOLDER]
"""

import os
import struct
import sys
import unicodedata
import xml.etree.ElementTree as ElementTree
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# Titles of the example collection that get covers; the first few also a back cover.
FRONTS = ["800004711000", "800004711037", "800004711111", "800004711296.4", "800004711148.5",
          "800004711259", "800004711333", "800004711962.4", "800004712036.5"]
BACKS = ["800004711000", "800004711037", "800004711296.4"]

WIDTH, HEIGHT = 216, 304        # the 27:38 shape of a DVD case
THUMB_WIDTH, THUMB_HEIGHT = 108, 152

# 5x7 capitals, digits and a little punctuation: seven rows of five pixels, "#" set.
GLYPHS = """
A .###. #...# #...# ##### #...# #...# #...#
B ####. #...# #...# ####. #...# #...# ####.
C .###. #...# #.... #.... #.... #...# .###.
D ####. #...# #...# #...# #...# #...# ####.
E ##### #.... #.... ####. #.... #.... #####
F ##### #.... #.... ####. #.... #.... #....
G .###. #...# #.... #.### #...# #...# .####
H #...# #...# #...# ##### #...# #...# #...#
I .###. ..#.. ..#.. ..#.. ..#.. ..#.. .###.
J ..### ...#. ...#. ...#. ...#. #..#. .##..
K #...# #..#. #.#.. ##... #.#.. #..#. #...#
L #.... #.... #.... #.... #.... #.... #####
M #...# ##.## #.#.# #.#.# #...# #...# #...#
N #...# ##..# #.#.# #..## #...# #...# #...#
O .###. #...# #...# #...# #...# #...# .###.
P ####. #...# #...# ####. #.... #.... #....
Q .###. #...# #...# #...# #.#.# #..#. .##.#
R ####. #...# #...# ####. #.#.. #..#. #...#
S .#### #.... #.... .###. ....# ....# ####.
T ##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#..
U #...# #...# #...# #...# #...# #...# .###.
V #...# #...# #...# #...# #...# .#.#. ..#..
W #...# #...# #...# #.#.# #.#.# #.#.# .#.#.
X #...# #...# .#.#. ..#.. .#.#. #...# #...#
Y #...# #...# .#.#. ..#.. ..#.. ..#.. ..#..
Z ##### ....# ...#. ..#.. .#... #.... #####
0 .###. #...# #..## #.#.# ##..# #...# .###.
1 ..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###.
2 .###. #...# ....# ...#. ..#.. .#... #####
3 ####. ....# ....# .###. ....# ....# ####.
4 ...#. ..##. .#.#. #..#. ##### ...#. ...#.
5 ##### #.... ####. ....# ....# #...# .###.
6 ..##. .#... #.... ####. #...# #...# .###.
7 ##### ....# ...#. ..#.. .#... .#... .#...
8 .###. #...# #...# .###. #...# #...# .###.
9 .###. #...# #...# .#### ....# ...#. .##..
' ..#.. ..#.. .#... ..... ..... ..... .....
( ...#. ..#.. .#... .#... .#... ..#.. ...#.
) .#... ..#.. ...#. ...#. ...#. ..#.. .#...
- ..... ..... ..... .###. ..... ..... .....
. ..... ..... ..... ..... ..... .##.. .##..
, ..... ..... ..... ..... .##.. ..#.. .#...
: ..... .##.. .##.. ..... .##.. .##.. .....
& .##.. #..#. #.#.. .#... #.#.# #..#. .##.#
! ..#.. ..#.. ..#.. ..#.. ..#.. ..... ..#..
? .###. #...# ....# ...#. ..#.. ..... ..#..
"""
FONT = {line[0]: "".join(line[2:].split()) for line in GLYPHS.strip().splitlines()}
FONT[" "] = "." * 35

PALETTES = [  # background top, background bottom, shape, light shape, lettering
    ((24, 52, 84), (8, 18, 33), (214, 142, 52), (240, 206, 120), (246, 240, 226)),
    ((92, 28, 44), (30, 8, 16), (228, 196, 108), (250, 232, 170), (252, 244, 232)),
    ((28, 78, 66), (8, 28, 24), (236, 120, 80), (250, 184, 140), (242, 246, 238)),
    ((60, 44, 92), (18, 12, 34), (110, 196, 210), (180, 232, 236), (244, 240, 250)),
    ((98, 78, 40), (34, 26, 12), (60, 120, 160), (140, 190, 220), (250, 246, 232)),
]


def plain(text):
    """The title in the font's letters: accents dropped, other letters as blanks."""
    text = unicodedata.normalize("NFKD", text.upper())
    return "".join(c if c in FONT else ("" if unicodedata.combining(c) else " ") for c in text)


def wrap(text, per_line):
    lines, line = [], ""
    for word in text.split():
        if line and len(line) + 1 + len(word) > per_line:
            lines.append(line)
            line = word
        else:
            line = f"{line} {word}".strip()
    if line:
        lines.append(line)
    return lines


class Canvas:
    def __init__(self, width, height, palette):
        self.width, self.height = width, height
        self.palette = []
        self.pixels = bytearray(width * height)
        top, bottom = palette[0], palette[1]
        # 32 bands of a vertical gradient, then the artwork's own colours.
        for band in range(32):
            t = band / 31
            self.palette.append(tuple(round(a + (b - a) * t) for a, b in zip(top, bottom)))
        for y in range(height):
            index = min(31, y * 32 // height)
            self.pixels[y * width:(y + 1) * width] = bytes([index]) * width
        self.colours = {}
        for colour in palette[2:]:
            self.colours[colour] = len(self.palette)
            self.palette.append(colour)

    def rect(self, x0, y0, x1, y1, colour):
        index = self.colours[colour]
        for y in range(max(0, y0), min(self.height, y1)):
            row = y * self.width
            for x in range(max(0, x0), min(self.width, x1)):
                self.pixels[row + x] = index

    def disc(self, cx, cy, radius, colour, ring=0):
        index = self.colours[colour]
        for y in range(max(0, cy - radius), min(self.height, cy + radius + 1)):
            for x in range(max(0, cx - radius), min(self.width, cx + radius + 1)):
                d = (x - cx) ** 2 + (y - cy) ** 2
                if d <= radius * radius and (not ring or d >= (radius - ring) ** 2):
                    self.pixels[y * self.width + x] = index

    def text(self, lines, top, scale, colour):
        for n, line in enumerate(lines):
            x = (self.width - len(line) * 6 * scale + scale) // 2
            y = top + n * 9 * scale
            for char in line:
                glyph = FONT.get(char, FONT[" "])
                for row in range(7):
                    for col in range(5):
                        if glyph[row * 5 + col] == "#":
                            self.rect(x + col * scale, y + row * scale, x + (col + 1) * scale,
                                      y + (row + 1) * scale, colour)
                x += 6 * scale

    def png(self):
        raw = b"".join(b"\x00" + bytes(self.pixels[y * self.width:(y + 1) * self.width])
                       for y in range(self.height))

        def chunk(kind, data):
            return (struct.pack(">I", len(data)) + kind + data +
                    struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 3, 0, 0, 0)
        palette = b"".join(bytes(colour) for colour in self.palette)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"PLTE", palette) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def seed_of(text):
    value = 2166136261
    for byte in text.encode("utf-8"):
        value = ((value ^ byte) * 16777619) & 0xFFFFFFFF
    return value


def draw(id_, title, year, side, width, height):
    seed = seed_of(id_)
    palette = PALETTES[seed % len(PALETTES)]
    canvas = Canvas(width, height, palette)
    s = width / WIDTH
    shape, light, letters = palette[2], palette[3], palette[4]
    if side == "f":
        # A low sun or moon over a horizon of stripes, placed by the title.
        cx = int(width * (0.3 + (seed >> 8) % 40 / 100))
        canvas.disc(cx, int(height * 0.58), int(52 * s), light)
        canvas.disc(cx, int(height * 0.58), int(52 * s), shape, ring=max(2, int(6 * s)))
        for n in range(5):
            y = int(height * (0.66 + n * 0.045))
            canvas.rect(0, y, width, y + max(1, int((5 - n) * s)), shape)
        scale = 3 if width >= WIDTH else 1
        lines = wrap(plain(title), max(4, (width - 12) // (6 * scale)))[:4]
        canvas.text(lines, int(20 * s), scale, letters)
        canvas.text([str(year)], height - int(26 * s), max(1, scale - 1), letters)
    else:
        # The back: a frame, a few lines of "text" and the title small.
        canvas.rect(int(12 * s), int(12 * s), width - int(12 * s), int(14 * s), shape)
        canvas.rect(int(12 * s), height - int(14 * s), width - int(12 * s), height - int(12 * s),
                    shape)
        for n in range(9):
            y = int(height * 0.34) + n * int(12 * s)
            canvas.rect(int(24 * s), y, width - int((24 + (n * 37) % 60) * s), y + max(1, int(4 * s)),
                        light)
        canvas.text(wrap(plain(title), max(4, (width - 12) // 12))[:3], int(30 * s),
                    2 if width >= WIDTH else 1, letters)
    return canvas.png()


def main():
    collection = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "collection.xml")
    folder = sys.argv[2] if len(sys.argv) > 2 else os.path.join(HERE, "images")
    titles = {}
    for dvd in ElementTree.parse(collection).getroot().findall("DVD"):
        titles[dvd.findtext("ID")] = (dvd.findtext("Title") or "", dvd.findtext("ProductionYear"))
    os.makedirs(os.path.join(folder, "thumbnails"), exist_ok=True)
    for ids, side in ((FRONTS, "f"), (BACKS, "b")):
        for id_ in ids:
            title, year = titles[id_]
            name = f"{id_}{side}.png"
            with open(os.path.join(folder, name), "wb") as out:
                out.write(draw(id_, title, year, side, WIDTH, HEIGHT))
            with open(os.path.join(folder, "thumbnails", name), "wb") as out:
                out.write(draw(id_, title, year, side, THUMB_WIDTH, THUMB_HEIGHT))
    print(f"{len(FRONTS)} front and {len(BACKS)} back covers in {folder}")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Draws Korvane's resource pictures and writes them as BMP and ICO bytes.

Our own artwork, drawn here pixel by pixel, for the main window and About box resources:
  res/korvane.ico        icon group 1000: 32x32 and 16x16, 16 colours (4 bpp)
  res/korvane-small.ico  icon group 1001: 16x16, 16 colours
  res/folder.bmp         bitmap 1: 16x14, 4 bpp, standard 16-colour palette
  res/me.bmp             bitmap "ME": 100x143, 1 bpp, palette black, white

The icons show a white "avi" on a green square with a red cross in the lower right
corner; bitmap 1 an open yellow folder on grey; "ME" a film camera on a tripod, black
lines on white (the About box draws it with SRCAND, so white is the dialog background).

Usage: make-artwork.py [OUTDIR]   (default: the res/ directory beside this script's
parent). The results are committed; the test suite runs this again and compares.
"""
import math
import os
import struct
import sys

# The standard 16-colour palette, as (R, G, B), in the order Windows uses.
VGA = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DARK_GREEN, OLIVE, GREY, DARK_GREY, RED, YELLOW, WHITE = 0, 2, 3, 7, 8, 9, 11, 15


def palette_bytes(colours):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in colours)


def pack_rows(pixels, width, bpp):
    """Bottom-up rows, each padded to a multiple of four bytes."""
    out = bytearray()
    stride = ((width * bpp + 31) // 32) * 4
    for row in reversed(pixels):
        bits = bytearray(stride)
        for x, value in enumerate(row):
            bit = x * bpp
            shift = 8 - bpp - (bit % 8)
            bits[bit // 8] |= (value & ((1 << bpp) - 1)) << shift
        out += bits
    return bytes(out)


def dib(pixels, width, height, bpp, colours, mask=None):
    """BITMAPINFOHEADER, palette and pixels; with a mask, the icon form (double height)."""
    xor = pack_rows(pixels, width, bpp)
    and_ = pack_rows(mask, width, 1) if mask is not None else b""
    header = struct.pack("<IiiHHIIiiII", 40, width, height * (2 if mask is not None else 1),
                         1, bpp, 0, len(xor) + len(and_), 0, 0, len(colours), 0)
    return header + palette_bytes(colours) + xor + and_


def bmp_file(pixels, width, height, bpp, colours):
    body = dib(pixels, width, height, bpp, colours)
    offset = 14 + 40 + 4 * len(colours)
    return struct.pack("<2sIHHI", b"BM", 14 + len(body), 0, 0, offset) + body


def ico_file(images):
    """images: list of (width, height, pixels) in 4 bpp with the VGA palette."""
    blobs = []
    for width, height, pixels in images:
        mask = [[0] * width for _ in range(height)]  # every pixel opaque
        blobs.append(dib(pixels, width, height, 4, VGA, mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (width, height, _), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", width, height, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


# Lower-case letters, 3 pixels wide and 7 rows tall (the dot of the i in row 0).
GLYPHS = {
    "a": ["...", "...", "##.", "..#", "###", "#.#", "###"],
    "v": ["...", "...", "#.#", "#.#", "#.#", "#.#", ".#."],
    "i": ["#", ".", "#", "#", "#", "#", "#"],
}


def icon(size):
    scale = size // 16
    pixels = [[DARK_GREEN] * size for _ in range(size)]
    # A one-pixel dark frame around the green square.
    for i in range(size):
        for x, y in ((i, 0), (i, size - 1), (0, i), (size - 1, i)):
            pixels[y][x] = BLACK
    # "avi" in white, top left.
    x0, y0 = 2 * scale, 2 * scale
    for letter in "avi":
        rows = GLYPHS[letter]
        for gy, row in enumerate(rows):
            for gx, c in enumerate(row):
                if c == "#":
                    for dy in range(scale):
                        for dx in range(scale):
                            pixels[y0 + gy * scale + dy][x0 + gx * scale + dx] = WHITE
        x0 += (len(rows[0]) + 1) * scale
    # A red cross (an X) in the lower right corner.
    lo, hi = size - 7 * scale, size - 3 * scale
    for t in range(lo, hi + 1):
        for w in range(scale + 1):
            for x, y in ((t + w, t), (hi + lo - t + w, t)):
                if x < size - 1:
                    pixels[y][x] = RED
    return pixels


FOLDER = [
    "................",
    "................",
    ".KKKK...........",
    "KOYOYK..........",
    "KYOYOYKKKKKK....",
    "KOYOYOYOYOYK....",
    "KYOYKKKKKKKKKKKK",
    "KOYKYYYYYYYYYYYK",
    "KYKYYYYYYYYYYYK.",
    "KOKYYYYYYYYYYYK.",
    "KKYYYYYYYYYYYK..",
    "KKYYYYYYYYYYYK..",
    "KKKKKKKKKKKKKK..",
    "................",
]


def folder():
    colour = {".": GREY, "K": BLACK, "Y": YELLOW, "O": OLIVE}
    return [[colour[c] for c in row] for row in FOLDER]


def me_picture():
    """A film camera with two reels on a tripod: black (0) lines on white (1)."""
    width, height = 100, 143
    pixels = [[1] * width for _ in range(height)]

    def dot(x, y):
        if 0 <= x < width and 0 <= y < height:
            pixels[y][x] = 0

    def ring(cx, cy, r, thick=2.0):
        for y in range(height):
            for x in range(width):
                d = math.hypot(x - cx, y - cy)
                if r - thick < d <= r:
                    dot(x, y)

    def disc(cx, cy, r):
        for y in range(height):
            for x in range(width):
                if math.hypot(x - cx, y - cy) <= r:
                    dot(x, y)

    def line(x1, y1, x2, y2, thick=2):
        steps = int(max(abs(x2 - x1), abs(y2 - y1))) * 2 + 1
        for i in range(steps + 1):
            x = x1 + (x2 - x1) * i / steps
            y = y1 + (y2 - y1) * i / steps
            for dy in range(thick):
                for dx in range(thick):
                    dot(int(round(x)) + dx, int(round(y)) + dy)

    def box(x1, y1, x2, y2, thick=2):
        line(x1, y1, x2, y1, thick)
        line(x1, y2, x2, y2, thick)
        line(x1, y1, x1, y2, thick)
        line(x2, y1, x2, y2, thick)

    # Two film reels, each with a hub and five holes.
    for cx, cy, r in ((30, 26, 20), (70, 30, 16)):
        ring(cx, cy, r, 3)
        disc(cx, cy, 3)
        for k in range(5):
            a = 2 * math.pi * k / 5 - math.pi / 2
            ring(cx + math.cos(a) * r * 0.55, cy + math.sin(a) * r * 0.55, r * 0.22, 1.6)
    # The body, with a film gate and a lens to the right.
    box(12, 50, 80, 88, 3)
    box(20, 58, 44, 80, 2)
    line(30, 62, 30, 76, 1)
    line(36, 62, 36, 76, 1)
    box(80, 60, 94, 78, 2)
    line(94, 60, 98, 56, 2)
    line(94, 78, 98, 82, 2)
    line(98, 56, 98, 82, 2)
    disc(60, 69, 5)
    # The tripod.
    line(46, 88, 46, 136, 3)
    line(44, 90, 18, 138, 3)
    line(48, 90, 76, 138, 3)
    line(28, 118, 66, 118, 2)
    # Ground line.
    line(6, 140, 94, 140, 1)
    return pixels


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "res")
    os.makedirs(out, exist_ok=True)
    files = {
        "korvane.ico": ico_file([(32, 32, icon(32)), (16, 16, icon(16))]),
        "korvane-small.ico": ico_file([(16, 16, icon(16))]),
        "folder.bmp": bmp_file(folder(), 16, 14, 4, VGA),
        "me.bmp": bmp_file(me_picture(), 100, 143, 1, [(0, 0, 0), (0xFF, 0xFF, 0xFF)]),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()

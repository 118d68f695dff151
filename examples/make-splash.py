#!/usr/bin/env python3
"""Draws the example bundle's splash picture (400 x 400 PNG) on stdout:
a disc on a soft gradient, an arrow going down into a tray. Only the
standard library, so that it runs anywhere python3 does:

    python3 examples/make-splash.py > examples/splash.png
"""
import struct
import sys
import zlib

SIZE = 400
TOP, BOTTOM = (28, 74, 110), (56, 132, 150)  # the gradient
DISC = (236, 244, 246)
MARK = (36, 96, 124)  # the arrow and the tray


def inside_disc(x, y):
    return (x - 200) ** 2 + (y - 190) ** 2 <= 130 ** 2


def inside_mark(x, y):
    shaft = 185 <= x <= 215 and 110 <= y <= 200
    head = 195 <= y <= 245 and abs(x - 200) <= (245 - y) * 1.1
    tray_floor = 140 <= x <= 260 and 255 <= y <= 270
    tray_sides = (140 <= x <= 155 or 245 <= x <= 260) and 225 <= y <= 270
    return shaft or head or tray_floor or tray_sides


def mix(a, b, share):
    return tuple(round(p + (q - p) * share) for p, q in zip(a, b))


def pixel(x, y, background):
    # Four samples a pixel smooth the edges.
    samples = [(x + dx, y + dy) for dx in (0.25, 0.75) for dy in (0.25, 0.75)]
    colour = [0, 0, 0]
    for sx, sy in samples:
        c = MARK if inside_mark(sx, sy) else DISC if inside_disc(sx, sy) \
            else background
        for i in range(3):
            colour[i] += c[i]
    return bytes(round(v / len(samples)) for v in colour)


def rows():
    for y in range(SIZE):
        background = mix(TOP, BOTTOM, y / (SIZE - 1))
        plain = bytes(background)
        line = bytearray(b"\0")  # no filter
        for x in range(SIZE):
            near = 60 <= x <= 340 and 50 <= y <= 330
            line += pixel(x, y, background) if near else plain
        yield bytes(line)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + \
        struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png():
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0)
    data = zlib.compress(b"".join(rows()), 9)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", data) + chunk(b"IEND", b""))


sys.stdout.buffer.write(png())

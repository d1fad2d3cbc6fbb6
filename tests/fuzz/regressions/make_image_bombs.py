#!/usr/bin/env python3
"""Writes the two image bombs beside this script: a 69-byte PNG whose header claims
16384 x 16384 RGBA over an almost empty image stream, and a 91-byte icon file holding it."""
import os
import struct
import zlib


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def bomb_png():
    header = struct.pack(">IIBBBBB", 16384, 16384, 8, 6, 0, 0, 0)  # 8-bit RGBA
    # A few bytes of a row, nowhere near the 1 GiB the header promises.
    stream = zlib.compress(bytes(4), 9)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", stream) + chunk(b"IEND", b"")


def icon_of(png):
    # One directory entry (0 x 0 stands for 256 x 256) whose image is the PNG.
    entry = struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, len(png), 6 + 16)
    return struct.pack("<HHH", 0, 1, 1) + entry + png


here = os.path.dirname(os.path.abspath(__file__))
png = bomb_png()
for name, data in (("image-bomb.png", png), ("image-bomb.ico", icon_of(png))):
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)

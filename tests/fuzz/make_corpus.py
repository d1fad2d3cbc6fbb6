#!/usr/bin/env python3
"""Writes the fuzzers' seed corpora beside this script (run by hand when the readers or the
renderer change):
  corpus/image/  the program's own pictures (resources/), small BMP files of each kind the
                 reader takes, and an icon file holding a masked 24-bit bitmap;
  corpus/wav/    short tones from varnok-render in every format (8 and 16 bits, mono and
                 stereo), and two images with chunks the synthesizer never writes.
Usage: make_corpus.py VARNOK_RENDER"""
import os
import shutil
import struct
import subprocess
import sys

here = os.path.dirname(os.path.abspath(__file__))
resources = os.path.join(here, "..", "..", "resources")
images = os.path.join(here, "corpus", "image")
waves = os.path.join(here, "corpus", "wav")
for d in (images, waves):
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d)


def write(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def dib(width, height, bits, top_down=False, bitfields=False, colours=0, icon=False):
    """A bitmap info header, its palette or masks, and pixel rows of a test pattern."""
    rows = -height if top_down else height * (2 if icon else 1)
    compression = 3 if bitfields else 0
    header = struct.pack("<IiiHHIIiiII", 40, width, rows, 1, bits, compression, 0, 0, 0, colours, 0)
    extra = b""
    if bitfields:
        extra = struct.pack("<III", 0xFF0000, 0xFF00, 0xFF)
    if bits == 8:
        extra = b"".join(struct.pack("<BBBB", 255 - 16 * i, 16 * i, 8 * i, 0) for i in range(colours or 256))
    stride = (width * bits + 31) // 32 * 4
    pixels = bytearray()
    for y in range(height):
        row = bytearray()
        for x in range(width):
            if bits == 8:
                row.append((x + y) % (colours or 256))
            else:
                row += bytes((40 * x % 256, 40 * y % 256, 0x5A))
                if bits == 32:
                    row.append(255 if (x + y) % 3 else 0)
        pixels += row + bytes(stride - len(row))
    if icon:
        mask_stride = (width + 31) // 32 * 4
        for y in range(height):
            pixels += bytes([0xA0 if y % 2 else 0x50]) + bytes(mask_stride - 1)
    return header + extra + bytes(pixels)


def bmp(body, palette_bytes):
    offset = 14 + 40 + palette_bytes
    return b"BM" + struct.pack("<IHHI", 14 + len(body), 0, 0, offset) + body


for name in ("logo.png", "icon.png", "icon.ico"):
    shutil.copy(os.path.join(resources, name), images)
write(images, "rgb24-5x3.bmp", bmp(dib(5, 3, 24), 0))
write(images, "pal8-7x4-16colours.bmp", bmp(dib(7, 4, 8, colours=16), 16 * 4))
write(images, "rgba32-3x3-topdown-bitfields.bmp", bmp(dib(3, 3, 32, top_down=True, bitfields=True), 12))
icon = dib(4, 4, 24, icon=True)
write(images, "masked24-4x4.ico", struct.pack("<HHHBBBBHHII", 0, 1, 1, 4, 4, 0, 0, 1, 24, len(icon), 22) + icon)

render = sys.argv[1]
for bits in (8, 16):
    for channels in (1, 2):
        style = 2 * bits // 8 + channels - 3  # a different style for each format
        subprocess.run([render, "--rate", "5512", "--bits", str(bits), "--channels", str(channels),
                        "--duration", "0.02", "--frequency", "440", "--style", str(style), "--fade-out",
                        "--output", os.path.join(waves, f"tone-{bits}bit-{channels}ch.wav")], check=True)


def chunk(kind, body):
    return kind + struct.pack("<I", len(body)) + body


# An 18-byte format chunk and a list chunk before the data; a 16-bit stereo image at 44100 Hz
# whose data is odd in length (no pad byte).
fmt = struct.pack("<HHIIHHH", 1, 1, 11025, 11025, 1, 8, 0)
body = b"WAVE" + chunk(b"fmt ", fmt) + chunk(b"LIST", b"INFOISFT\x03\x00\x00\x00ab\x00") + chunk(b"data", bytes(range(0, 250, 5)))
write(waves, "extra-chunks-8bit.wav", b"RIFF" + struct.pack("<I", len(body)) + body)
fmt = struct.pack("<HHIIHH", 1, 2, 44100, 44100 * 4, 4, 16)
body = b"WAVE" + chunk(b"fmt ", fmt) + chunk(b"data", bytes(range(37)))
write(waves, "odd-data-16bit-stereo.wav", b"RIFF" + struct.pack("<I", len(body)) + body)

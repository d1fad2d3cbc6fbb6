#!/usr/bin/env python3
"""Measures the one tone in a WAV recording of the sound output: its length, its frequency
(from the spacing of upward zero crossings) and its peak level, and checks them.

usage: measure_tone.py FILE HZ SECONDS DBFS
Exits 1 when the frequency is off by more than 1 %, the length by more than 0.1 s or the peak
by more than 1.5 dB, 2 when the file holds no tone at all."""
import math
import struct
import sys


def read_wav(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        sys.exit(f"{path}: not a WAV file")
    pos, fmt, pcm = 12, None, None
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack_from("<I", data, pos + 4)[0]
        body = pos + 8
        if cid == b"fmt ":
            fmt = data[body:body + size]
        elif cid == b"data":
            # A recording cut short may carry a size of 0 or too large: take what is there.
            end = len(data) if size == 0 or body + size > len(data) else body + size
            pcm = data[body:end]
            break
        pos = body + size + (size & 1)
    if fmt is None or pcm is None:
        sys.exit(f"{path}: no fmt or data chunk")
    tag, channels, rate = struct.unpack_from("<HHI", fmt, 0)
    bits = struct.unpack_from("<H", fmt, 14)[0]
    if tag == 0xFFFE:  # extensible: the real tag opens the sub-format GUID
        tag = struct.unpack_from("<H", fmt, 24)[0]
    width = bits // 8
    frames = len(pcm) // (width * channels)
    if tag == 3 and bits == 32:
        values = struct.unpack_from(f"<{frames * channels}f", pcm)
    elif tag == 1 and bits == 16:
        values = [v / 32768.0 for v in struct.unpack_from(f"<{frames * channels}h", pcm)]
    elif tag == 1 and bits == 8:
        values = [(v - 128) / 128.0 for v in pcm[:frames * channels]]
    elif tag == 1 and bits == 32:
        values = [v / 2147483648.0 for v in struct.unpack_from(f"<{frames * channels}i", pcm)]
    else:
        sys.exit(f"{path}: unsupported sample format tag {tag}, {bits} bits")
    return rate, channels, values[0::channels]  # the first channel


def main():
    path, hz, seconds, dbfs = sys.argv[1], float(sys.argv[2]), float(sys.argv[3]), float(
        sys.argv[4])
    rate, channels, x = read_wav(path)
    loud = [i for i, v in enumerate(x) if abs(v) > 0.01]
    if not loud:
        print(f"{path}: silence ({len(x) / rate:.2f} s at {rate} Hz, {channels} channels)")
        sys.exit(2)
    start, end = loud[0], loud[-1]
    length = (end - start + 1) / rate
    # Upward zero crossings, placed between samples by linear interpolation.
    crossings = []
    for i in range(start, end):
        if x[i] < 0.0 <= x[i + 1]:
            crossings.append(i + (-x[i]) / (x[i + 1] - x[i]))
    frequency = (len(crossings) - 1) * rate / (crossings[-1] - crossings[0]) if len(
        crossings) > 1 else 0.0
    peak = max(abs(v) for v in x[start:end + 1])
    level = 20 * math.log10(peak)
    print(f"tone: {frequency:.2f} Hz, {length:.3f} s, peak {level:.2f} dBFS "
          f"(output {rate} Hz, {channels} channels)")
    ok = (abs(frequency - hz) <= 0.01 * hz and abs(length - seconds) <= 0.1
          and abs(level - dbfs) <= 1.5)
    if not ok:
        print(f"expected {hz} Hz, {seconds} s, {dbfs} dBFS")
    sys.exit(0 if ok else 1)


main()

#!/usr/bin/env python3
"""Reads the WAV file a program's sound output is recorded to, also while it grows.

usage: sound_capture.py wait FILE loud|quiet FROM TIMEOUT
         loud: waits until a sample after FROM seconds is loud; prints its time.
         quiet: waits until the recording goes on for 0.2 s past FROM and the last 0.2 s of it
         are silent; prints the recording's length.  Exits 1 after TIMEOUT seconds.
       sound_capture.py bursts FILE
         prints the number of sounds in the recording (loud stretches apart by 20 ms or more).
       sound_capture.py measure FILE HZ SECONDS DBFS [FROM [UNTIL]]
         measures the one tone between FROM and UNTIL seconds: its length, its frequency (from
         the spacing of upward zero crossings) and its peak level.  Exits 1 when the frequency
         is off by more than 1 %, the length by more than 0.1 s or the peak by more than 1.5 dB,
         2 when there is no tone at all.
"""
import array
import math
import struct
import sys
import time

LOUD = 0.01


def layout(path):
    """(rate, channels, sample type, bytes per sample, offset of the samples) or None."""
    try:
        with open(path, "rb") as f:
            head = f.read(4096)
    except OSError:
        return None
    if head[:4] != b"RIFF" or head[8:12] != b"WAVE":
        return None
    pos, fmt = 12, None
    while pos + 8 <= len(head):
        cid, size = head[pos:pos + 4], struct.unpack_from("<I", head, pos + 4)[0]
        if cid == b"fmt ":
            fmt = head[pos + 8:pos + 8 + size]
        elif cid == b"data" and fmt:
            tag, channels, rate = struct.unpack_from("<HHI", fmt, 0)
            bits = struct.unpack_from("<H", fmt, 14)[0]
            if tag == 0xFFFE:  # extensible: the real tag opens the sub-format GUID
                tag = struct.unpack_from("<H", fmt, 24)[0]
            kind = {(3, 32): "f", (1, 16): "h", (1, 8): "B", (1, 32): "i"}[(tag, bits)]
            return rate, channels, kind, bits // 8, pos + 8
        pos += 8 + size + (size & 1)
    return None


def levels(path, start, until=None):
    """The first channel's samples from start seconds on (to until), in [-1, 1], and the rate.
    The data chunk's size is not trusted: a recording still growing, or cut short, may carry
    0 or too much."""
    lay = layout(path)
    if not lay:
        return 0, []
    rate, channels, kind, width, offset = lay
    frame = width * channels
    first = int(start * rate)
    with open(path, "rb") as f:
        f.seek(offset + first * frame)
        raw = f.read() if until is None else f.read((int(until * rate) - first) * frame)
    samples = array.array(kind, raw[:len(raw) // frame * frame])[0::channels]
    scale = {"f": 1.0, "h": 1 / 32768.0, "B": 1 / 128.0, "i": 1 / 2147483648.0}[kind]
    shift = 128 if kind == "B" else 0
    return rate, [(v - shift) * scale for v in samples]


def wait(path, what, start, timeout):
    start, deadline = float(start), time.monotonic() + float(timeout)
    while time.monotonic() < deadline:
        rate, x = levels(path, start)
        if what == "loud":
            for i, v in enumerate(x):
                if abs(v) > LOUD:
                    print(f"{start + i / rate:.3f}")
                    return 0
        elif rate and len(x) >= rate // 5 and all(abs(v) <= LOUD for v in x[-(rate // 5):]):
            print(f"{start + len(x) / rate:.3f}")
            return 0
        time.sleep(0.02)
    return 1


def bursts(path):
    rate, x = levels(path, 0)
    gap = max(1, rate // 50)
    count, quiet = 0, gap
    for v in x:
        if abs(v) > LOUD:
            if quiet >= gap:
                count += 1
            quiet = 0
        else:
            quiet += 1
    print(count)
    return 0


def measure(path, hz, seconds, dbfs, start="0", until=None):
    hz, seconds, dbfs = float(hz), float(seconds), float(dbfs)
    rate, x = levels(path, float(start), None if until is None else float(until))
    loud = [i for i, v in enumerate(x) if abs(v) > LOUD]
    if not loud:
        print(f"{path}: silence")
        return 2
    first, last = loud[0], loud[-1]
    length = (last - first + 1) / rate
    # Upward zero crossings, placed between samples by linear interpolation.
    crossings = [i + (-x[i]) / (x[i + 1] - x[i]) for i in range(first, last)
                 if x[i] < 0.0 <= x[i + 1]]
    frequency = ((len(crossings) - 1) * rate / (crossings[-1] - crossings[0])
                 if len(crossings) > 1 else 0.0)
    level = 20 * math.log10(max(abs(v) for v in x[first:last + 1]))
    print(f"tone: {frequency:.2f} Hz, {length:.3f} s, peak {level:.2f} dBFS (output {rate} Hz)")
    if abs(frequency - hz) <= 0.01 * hz and abs(length - seconds) <= 0.1 and abs(level - dbfs) <= 1.5:
        return 0
    print(f"expected {hz} Hz, {seconds} s, {dbfs} dBFS")
    return 1


if __name__ == "__main__":
    sys.exit({"wait": wait, "bursts": bursts, "measure": measure}[sys.argv[1]](*sys.argv[2:]))

#!/usr/bin/env python3
"""Watches the WAV file a program's sound output is recorded to while it grows.

usage: capture.py wait FILE loud|quiet FROM TIMEOUT
         loud: waits until a sample after FROM seconds is loud; prints its time.
         quiet: waits until the recording goes on for 0.2 s past FROM and the last 0.2 s of it
         are silent; prints the recording's length.  Exits 1 after TIMEOUT seconds.
       capture.py bursts FILE
         prints the number of sounds in the recording (loud stretches apart by 20 ms or more).
"""
import array
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
            if tag == 0xFFFE:
                tag = struct.unpack_from("<H", fmt, 24)[0]
            kind = {(3, 32): "f", (1, 16): "h", (1, 8): "B"}[(tag, bits)]
            return rate, channels, kind, bits // 8, pos + 8
        pos += 8 + size + (size & 1)
    return None


def levels(path, start_seconds):
    """The first channel's samples from start_seconds on, scaled to [-1, 1], and the rate."""
    lay = layout(path)
    if not lay:
        return 0, []
    rate, channels, kind, width, offset = lay
    frame = width * channels
    first = int(start_seconds * rate)
    with open(path, "rb") as f:
        f.seek(offset + first * frame)
        raw = f.read()
    samples = array.array(kind, raw[:len(raw) // frame * frame])[0::channels]
    scale = {"f": 1.0, "h": 1 / 32768.0, "B": 1 / 128.0}[kind]
    shift = 128 if kind == "B" else 0
    return rate, [(v - shift) * scale for v in samples]


def wait(path, what, start, timeout):
    deadline = time.monotonic() + timeout
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


if __name__ == "__main__":
    a = sys.argv[1:]
    if a[:1] == ["wait"] and len(a) == 5:
        sys.exit(wait(a[1], a[2], float(a[3]), float(a[4])))
    if a[:1] == ["bursts"] and len(a) == 2:
        sys.exit(bursts(a[1]))
    sys.exit(__doc__)

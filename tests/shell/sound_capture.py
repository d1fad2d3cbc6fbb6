#!/usr/bin/env python3
"""Reads the WAV file a program's sound output is recorded to, also while it grows.
wait FILE loud|quiet FROM TIMEOUT: prints the time of the first loud sample after FROM, or the
  length once the recording ends in 0.2 s of silence past FROM; exits 1 after TIMEOUT seconds.
bursts FILE: prints the number of sounds (loud stretches 20 ms or more apart).
measure FILE HZ SECONDS DBFS [FROM [UNTIL]]: the tone's frequency (upward zero crossings),
  length and peak; exits 1 if off by over 1 %, 0.1 s or 1.5 dB, 2 if there is none."""
import array, math, struct, sys, time

LOUD = 0.01


def levels(path, start, until=None):
    """The rate and the first channel's samples in [-1, 1] from start seconds on (to until), of
    16-bit (ALSA's file plugin) or float (OpenAL) data, whose size a growing file gets wrong."""
    try:
        f = open(path, "rb")
    except OSError:
        return 0, []
    with f:
        head, pos = f.read(4096), 12
        while head[:4] == b"RIFF" and pos + 8 <= len(head):
            cid, size = head[pos:pos + 4], struct.unpack_from("<I", head, pos + 4)[0]
            if cid == b"fmt ":
                channels, rate, _, _, bits = struct.unpack_from("<HIIHH", head, pos + 10)
            elif cid == b"data":
                kind, frame = {16: "h", 32: "f"}[bits], bits // 8 * channels
                first = int(start * rate)
                f.seek(pos + 8 + first * frame)
                raw = f.read() if until is None else f.read((int(until * rate) - first) * frame)
                scale = 1 / 32768.0 if kind == "h" else 1.0
                samples = array.array(kind, raw[:len(raw) // frame * frame])[0::channels]
                return rate, [v * scale for v in samples]
            pos += 8 + size + (size & 1)
    return 0, []


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
    loud = [i for i, v in enumerate(x) if abs(v) > LOUD]
    print(sum(1 for a, b in zip([-rate] + loud, loud) if b - a > rate // 50))
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

#!/bin/bash
# Whole-process times for the largest tone (512 s, 44100 Hz, 16-bit, stereo) on tmpfs, in one
# run: varnok-render for every style, sox's sine synth and dd writing the same amount of
# zeros, then each render's peak resident memory.  Medians of several runs.
#   bench/compare.sh [path/to/varnok-render] [runs]
set -euo pipefail
render=${1:-build/bin/varnok-render}
runs=${2:-9}
dir=/dev/shm/varnok-compare.$$
mkdir -p "$dir"
trap 'rm -rf "$dir"' EXIT
for tool in hyperfine sox /usr/bin/time; do
    command -v "$tool" > /dev/null || { echo "compare.sh: $tool is missing" >&2; exit 1; }
done

tone="--frequency 315 --amplitude 100 --duration 512 --rate 44100 --bits 16 --channels 2"
names=("Sine" "Saw" "Absolute Sine" "SquareWave" "Triangle" "Pink Synth" "Absolute Square"
       "White Noise" "Inverse Sine")
commands=()
labels=()
for style in 0 1 2 3 4 5 6 7 8; do
    commands+=("$render --style $style $tone --output $dir/x.wav")
    labels+=("varnok-render ${names[$style]}")
done
commands+=("$render --style 0 $tone --sweep 4000 --fade-in --fade-out --output $dir/x.wav")
labels+=("varnok-render Sine, sweep, fades")
commands+=("sox -n -r 44100 -b 16 -c 2 $dir/y.wav synth 512 sine 315")
labels+=("sox synth sine")
commands+=("dd if=/dev/zero of=$dir/z bs=1M count=87 status=none")
labels+=("dd 87 MiB")

args=()
for i in "${!commands[@]}"; do args+=(-n "${labels[$i]}" "${commands[$i]}"); done
hyperfine -N -w 1 -r "$runs" --export-json "$dir/times.json" "${args[@]}" > /dev/null 2>&1

python3 - "$dir/times.json" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
median = {r["command"]: r["median"] for r in results}
sox = median["sox synth sine"]
dd = median["dd 87 MiB"]
print(f"{'command':36} {'median ms':>10} {'sox / this':>11} {'this / dd':>10}")
for r in results:
    m = r["median"]
    print(f"{r['command']:36} {m * 1000:10.1f} {sox / m:11.1f} {m / dd:10.2f}")
PY

echo
echo "peak resident memory (image: $((44 + 512 * 44100 * 4)) bytes)"
for style in 0 5 7; do
    kb=$(/usr/bin/time -f %M $render --style $style $tone --output $dir/x.wav 2>&1 >/dev/null | tail -1)
    echo "  varnok-render ${names[$style]}: $kb KiB"
done

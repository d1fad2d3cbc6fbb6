#!/bin/bash
# Whole-process times for the largest tone (512 s, 44100 Hz, 16-bit, stereo, 315 Hz, amplitude
# 100) on tmpfs, in one run: varnok-render against varnok-render-reference (the same program
# on the per-frame loop) for every style, plain and with a sweep to 4000 Hz and both fades;
# sox's sine synth and dd writing the same amount of zeros; then each render's peak resident
# memory.  Medians of several runs.
#   bench/compare.sh [path/to/varnok-render] [runs] [path/to/varnok-render-reference]
# The reference defaults to the program beside varnok-render.
set -euo pipefail
render=${1:-build/bin/varnok-render}
runs=${2:-9}
reference=${3:-$(dirname "$render")/varnok-render-reference}
dir=/dev/shm/varnok-compare.$$
mkdir -p "$dir"
trap 'rm -rf "$dir"' EXIT
for tool in hyperfine sox /usr/bin/time "$render" "$reference"; do
    command -v "$tool" > /dev/null || { echo "compare.sh: $tool is missing" >&2; exit 1; }
done

tone="--frequency 315 --amplitude 100 --duration 512 --rate 44100 --bits 16 --channels 2"
names=("Sine" "Saw" "Absolute Sine" "SquareWave" "Triangle" "Pink Synth" "Absolute Square"
       "White Noise" "Inverse Sine")
# Each row: a label and the options after the tone; both programs run it.
rows=()
options=()
for style in 0 1 2 3 4 5 6 7 8; do
    rows+=("${names[$style]}")
    options+=("--style $style")
done
for style in 0 1 2 3 4 5 6 7 8; do
    rows+=("${names[$style]}, sweep, fades")
    options+=("--style $style --sweep 4000 --fade-in --fade-out")
done

args=()
for i in "${!rows[@]}"; do
    # A fixed seed: both programs draw the same noise.
    args+=(-n "fast ${rows[$i]}" "$render ${options[$i]} $tone --seed 1 --output $dir/x.wav")
    args+=(-n "reference ${rows[$i]}" "$reference ${options[$i]} $tone --seed 1 --output $dir/x.wav")
done
args+=(-n "sox synth sine" "sox -n -r 44100 -b 16 -c 2 $dir/y.wav synth 512 sine 315")
args+=(-n "dd 87 MiB" "dd if=/dev/zero of=$dir/z bs=1M count=87 status=none")
hyperfine -N -w 1 -r "$runs" --export-json "$dir/times.json" "${args[@]}" > /dev/null 2>&1

python3 - "$dir/times.json" "${rows[@]}" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
rows = sys.argv[2:]
median = {r["command"]: r["median"] for r in results}
sox = median["sox synth sine"]
dd = median["dd 87 MiB"]
print(f"{'varnok-render':26} {'fast ms':>9} {'ref ms':>9} {'ref / fast':>11} {'sox / fast':>11} "
      f"{'fast / dd':>10}")
for row in rows:
    fast = median["fast " + row]
    ref = median["reference " + row]
    print(f"{row:26} {fast * 1000:9.1f} {ref * 1000:9.1f} {ref / fast:11.2f} {sox / fast:11.1f} "
          f"{fast / dd:10.2f}")
print(f"{'sox synth sine':26} {sox * 1000:9.1f}")
print(f"{'dd 87 MiB':26} {dd * 1000:9.1f}")
PY

echo
echo "peak resident memory (image: $((44 + 512 * 44100 * 4)) bytes)"
for style in 0 5 7; do
    for program in "$render" "$reference"; do
        kb=$(/usr/bin/time -f %M "$program" --style $style $tone --output $dir/x.wav 2>&1 >/dev/null | tail -1)
        echo "  $(basename "$program") ${names[$style]}: $kb KiB"
    done
done
kb=$(/usr/bin/time -f %M "$render" --style 7 --sweep 4000 $tone --output $dir/x.wav 2>&1 >/dev/null | tail -1)
echo "  $(basename "$render") White Noise, sweep: $kb KiB"

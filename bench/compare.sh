#!/bin/bash
# Whole-process times for the largest tone (512 s, 44100 Hz, 16-bit, stereo, 315 Hz, amplitude
# 100) written to tmpfs, in one run: varnok-render for every style, plain and with a sweep to
# 4000 Hz and both fades, against sox's sine synth and dd writing the same number of bytes
# (each to a file that already exists, as the renders' is); then peak resident memory.
# Medians of several runs.  With a third argument, varnok-render-reference (the same program
# on the per-frame loop, some seconds a run) is timed on every row too.
#   bench/compare.sh [path/to/varnok-render] [runs] [path/to/varnok-render-reference]
set -euo pipefail
render=${1:-build/bin/varnok-render}
runs=${2:-9}
reference=${3:-}
dir=/dev/shm/varnok-compare.$$
mkdir -p "$dir"
trap 'rm -rf "$dir"' EXIT
for tool in hyperfine sox dd /usr/bin/time "$render" ${reference:+"$reference"}; do
    command -v "$tool" >/dev/null || { echo "compare.sh: $tool is missing" >&2; exit 1; }
done

tone="--frequency 315 --amplitude 100 --duration 512 --rate 44100 --bits 16 --channels 2"
bytes=$((44 + 512 * 44100 * 4))
# The style names as the renderer lists them.
IFS=$'\n' read -r -d '' -a names < <("$render" --style '' 2>&1 | sed -n 's/.* one of //p' | sed 's/, /\n/g') || true
rows=() options=()
for style in 0 1 2 3 4 5 6 7 8; do
    rows+=("${names[$style]}") options+=("--style $style")
    rows+=("${names[$style]}, sweep, fades") options+=("--style $style --sweep 4000 --fade-in --fade-out")
done

# A fixed seed: every run draws the same noise.
args=()
for i in "${!rows[@]}"; do
    args+=(-n "fast ${rows[$i]}" "$render ${options[$i]} $tone --seed 1 --output $dir/x.wav")
    [ -z "$reference" ] ||
        args+=(-n "reference ${rows[$i]}" "$reference ${options[$i]} $tone --seed 1 --output $dir/x.wav")
done
args+=(-n "sox synth sine" "sox -n -r 44100 -b 16 -c 2 $dir/y.wav synth 512 sine 315")
args+=(-n "dd" "dd if=/dev/zero of=$dir/z bs=1M count=$bytes iflag=count_bytes status=none")
hyperfine -N -w 1 -r "$runs" --export-json "$dir/times.json" "${args[@]}" >/dev/null 2>&1

python3 - "$dir/times.json" "${rows[@]}" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
median = {r["command"]: r["median"] for r in results}
sox, dd = median["sox synth sine"], median["dd"]
with_reference = any(c.startswith("reference ") for c in median)
head = f"{'varnok-render':30} {'ms':>7} {'sox / ours':>11} {'ours / dd':>10}"
print(head + (f" {'reference ms':>13}" if with_reference else ""))
for row in sys.argv[2:]:
    fast = median["fast " + row]
    line = f"{row:30} {fast * 1000:7.1f} {sox / fast:11.1f} {fast / dd:10.2f}"
    if with_reference:
        line += f" {median['reference ' + row] * 1000:13.1f}"
    print(line)
print(f"{'sox synth sine':30} {sox * 1000:7.1f}")
print(f"{'dd, same bytes':30} {dd * 1000:7.1f}")
PY

echo
echo "peak resident memory (the image would be $bytes bytes)"
for i in "${!rows[@]}"; do
    kb=$(/usr/bin/time -f %M $render ${options[$i]} $tone --seed 1 --output "$dir/x.wav" 2>&1 >/dev/null | tail -1)
    printf '  %-30s %6d KiB\n' "${rows[$i]}" "$kb"
done

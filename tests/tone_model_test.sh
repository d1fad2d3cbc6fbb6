#!/bin/bash
# Renders a spread of tones with varnok-render and compares every byte with the independent
# model in tone_model.py.
set -u
render=$1
model=$(dirname "$0")/tone_model.py
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fails=0
n=0
# rate bytes channels style frequency duration amplitude sweep fade-in fade-out
while read -r rate bytes channels style freq dur amp sweep fin fout; do
    n=$((n + 1))
    flags=()
    [ "$fin" = 1 ] && flags+=(--fade-in)
    [ "$fout" = 1 ] && flags+=(--fade-out)
    "$render" --rate "$rate" --bits $((bytes * 8)) --channels "$channels" --style "$style" \
        --frequency "$freq" --duration "$dur" --amplitude "$amp" --sweep "$sweep" "${flags[@]}" \
        --output "$work/a.wav" || { echo "render failed: $rate $bytes $channels $style $freq"; fails=$((fails + 1)); continue; }
    python3 "$model" "$rate" "$bytes" "$channels" "$style" "$freq" "$dur" "$amp" "$sweep" "$fin" "$fout" >"$work/b.wav"
    if ! cmp -s "$work/a.wav" "$work/b.wav"; then
        echo "differs: $rate $bytes $channels $style $freq $dur $amp $sweep $fin $fout: $(cmp "$work/a.wav" "$work/b.wav" | head -1)"
        fails=$((fails + 1))
    fi
done <<'CASES'
44100 2 1 0 315 1 25 0 0 0
44100 2 2 0 1000 0.5 100 0 1 1
5512 2 1 0 1000 1 100 0 0 0
5512 1 2 1 5000 1 100 0 0 1
11025 1 1 3 1000 1 100 0 0 0
22050 2 2 1 440.3 0.7 73 8 1 0
44100 1 1 2 315 0.5 100 0 0 0
44100 2 1 2 315 0.5 100 0 0 0
11025 2 2 2 99.9 0.3 60 3000.5 1 1
22050 1 1 3 12.5 1 50 20000 0 1
5512 2 2 4 2755 1 25 315 1 0
44100 2 1 4 31.5 0.4 150 1000 0 0
44100 2 1 5 315 0.5 100 0 0 0
11025 1 2 5 1000 0.5 100 500 1 1
22050 2 1 5 6300 0.3 0 0 0 0
5512 2 1 6 1000 1 100 0 0 0
44100 2 2 6 315 0.5 -5 0 0 0
44100 1 1 6 250 0.5 100 7777 1 0
11025 1 1 8 5512.5 1 100 0 0 0
22050 2 1 8 20000 0.5 25 8 0 1
44100 2 1 0 315 2.3333 25 0 0 0
11025 1 1 1 777 0.13 100 0 1 1
5512 2 2 3 20 0 100 0 0 0
44100 2 1 0 99999 0.2 100 0 0 0
44100 2 1 0 8 0.3 25 0 0 0
5512 1 1 3 5000 0.5 100 0 0 0
44100 2 1 3 315 0.5 100 8 0 0
44100 2 1 4 315 0.5 100 315 1 1
44100 2 1 0 440.3 2 25 0 0 0
CASES
echo "model: $((n - fails)) passed, $fails failed"
[ "$fails" = 0 ]

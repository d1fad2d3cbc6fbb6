#!/bin/bash
# The Windows varnok-render against Linux's, byte for byte:
#   tests/windows/render_identity_test.sh LINUX_RENDER WIN_RENDER_EXE
# A wide set of tones (every style in every format, sweeps, fades, odd values, White Noise with
# fixed seeds, a few 512 s tones), each written by the Windows program once to a file that
# already exists (it must be replaced) and once to standard output.  Its runs are one batch
# file, so that Wine starts once (tools/wine-run.sh: wine for a 32-bit program, wine64 for a
# 64-bit one, in the prefix beside its build tree's bin/ unless WINE_RUN_PREFIX names one).
set -u
[ $# = 2 ] || { echo "usage: $0 LINUX_RENDER WIN_RENDER_EXE" >&2 && exit 2; }
linux=$(realpath "$1")
exe=$(realpath "$2")
root=$(cd "$(dirname "$0")/../.." && pwd)
# 32- or 64-bit: the magic number of the PE optional header.
pe=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
case $(od -An -tx2 -j$((pe + 24)) -N2 "$exe" | tr -d ' ') in
010b) arch=win32 ;;
020b) arch=win64 ;;
*) echo "render_identity: $exe is no Windows program" >&2 && exit 2 ;;
esac
prefix=${WINE_RUN_PREFIX:-$(dirname "$exe")/../wine-prefix}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/file" "$work/stdout"

# The tones, one line of options each, as a shell and the C runtime both split them.  The
# format, frequency, amplitude and seed change from one tone to the next.
formats=()
for rate in 5512 11025 22050 44100; do
    for bits in 8 16; do
        formats+=("--rate $rate --bits $bits --channels 1" "--rate $rate --bits $bits --channels 2")
    done
done
frequencies=(315 440 1000 2500 27.5 8000 12345.678 19000 100 3333.3 55 15000 666 20 7040 1234.5)
amplitudes=(25 50 80 100 1 75 33 99)
seeds=(1 42 0 12345678901234 18446744073709551615 7)
tones=()
add() {
    local n=${#tones[@]}
    tones+=("${formats[$((n % 16))]} $*")
}
varied() {
    local n=${#tones[@]}
    add "$@" --amplitude "${amplitudes[$((n % 8))]}"
}
styles=(0 1 2 3 4 5 6 8) # all but White Noise (7)
# Every style in every format, then sweeps (up, down, over the whole range, by a hair, below
# zero), fades alone, together and with a sweep.
for style in "${styles[@]}"; do
    for _ in "${formats[@]}"; do
        varied --style "$style" --frequency "${frequencies[$((${#tones[@]} % 16))]}" --duration 0.75
    done
    for sweep in "100 5000" "5000 100" "20 20000" "1000 1001" "440 -3" "19000 30" "2 90000"; do
        read -r from to <<<"$sweep"
        varied --style "$style" --frequency "$from" --sweep "$to" --duration 1.5
    done
    for fade in --fade-in --fade-out "--fade-in --fade-out" "--fade-in --fade-out --sweep 3000"; do
        add --style "$style" --frequency 880 "$fade" --duration 1.25
    done
done
# Odd values: frequencies below 20 Hz and above 20000, amplitudes of 0, above 100 and below 0,
# durations that are no whole number of frames or seconds, and none.
for style in 0 1 3 4 5 8; do
    for value in "--frequency 0.5" "--frequency 7.3" "--frequency 19.99" "--frequency 0" \
        "--frequency 20000.5" "--frequency 22050" "--frequency 30000" "--frequency 96000" \
        "--amplitude 0" "--amplitude 101" "--amplitude 150" "--amplitude 1000" "--amplitude -5" \
        "--duration 0" "--duration 0.0001" "--duration 0.37" "--duration 1.2345" \
        "--duration 3.14159" "--frequency 3 --sweep 25000 --amplitude 120"; do
        add --style "$style" "$value"
    done
done
# Names for styles, the defaults, White Noise in every format and with what it ignores.
tones+=("--style \"absolute sine\" --frequency 700" "--style Triangle --frequency 700 --sweep 70" "")
for _ in "${formats[@]}"; do
    varied --style 7 --seed "${seeds[$((${#tones[@]} % 6))]}"
done
tones+=("--style 7 --seed 9 --fade-in --fade-out --sweep 5000 --duration 2.5")
# The longest tones.
tones+=("--style 0 --rate 44100 --bits 16 --channels 2 --duration 512 --frequency 315"
    "--style 3 --rate 44100 --bits 16 --channels 2 --duration 512 --frequency 1000 --fade-out"
    "--style 5 --rate 22050 --bits 16 --channels 1 --duration 512 --frequency 50 --sweep 12000"
    "--style 7 --rate 11025 --bits 8 --channels 2 --duration 512 --seed 5")

# The Windows runs.  (Wine's cmd runs the right side of || whatever the status.)
winexe="Z:${exe//\//\\}"
{
    echo "@echo off"
    for i in "${!tones[@]}"; do
        printf 'stale\n' >"$work/file/$i.wav"
        echo "\"$winexe\" ${tones[$i]} -o file\\$i.wav"
        echo "if errorlevel 1 echo $i file>>failed.txt"
        echo "\"$winexe\" ${tones[$i]} -o - >stdout\\$i.wav"
        echo "if errorlevel 1 echo $i stdout>>failed.txt"
    done
} | sed 's/$/\r/' >"$work/tones.bat"
start=$(date +%s)
(cd "$work" && "$root/tools/wine-run.sh" "$arch" "$prefix" cmd /c tones.bat) >"$work/wine.log" 2>&1
wine_status=$?
[ $wine_status = 0 ] || { echo "render_identity: Wine ended with status $wine_status:" && cat "$work/wine.log"; }

failed=0
for i in "${!tones[@]}"; do
    if ! eval "\"\$linux\" ${tones[$i]} -o \"\$work/linux.wav\""; then
        echo "FAILED (Linux render): ${tones[$i]}" && failed=$((failed + 1)) && continue
    fi
    for way in file stdout; do
        cmp "$work/linux.wav" "$work/$way/$i.wav" >"$work/cmp" 2>&1 ||
            { echo "FAILED ($way): ${tones[$i]}: $(cat "$work/cmp")" && failed=$((failed + 1)); }
    done
done
if [ -s "$work/failed.txt" ]; then
    echo "Windows runs with a status other than 0 (tone and output):" "$(tr -d '\r' <"$work/failed.txt")"
    failed=$((failed + 1))
fi
echo "render_identity ($arch): ${#tones[@]} tones, each written to a file and to standard output;" \
    "Wine ran for $(($(date +%s) - start)) s; $failed failures"
[ $failed = 0 ] && [ $wine_status = 0 ]

#!/bin/bash
# The Windows varnok-render against Linux's, byte for byte:
#   tests/windows/render_identity_test.sh LINUX_RENDER WIN_RENDER_EXE
# Renders a wide set of tones with both: every style but White Noise in every format, sweeps,
# fades, odd values, White Noise with a fixed seed and a few 512 s tones.  The Windows program
# runs under Wine (wine for a 32-bit program, wine64 for a 64-bit one, through
# tools/wine-run.sh, in the prefix beside its build tree's bin/ unless WINE_RUN_PREFIX names
# one), writing each tone once to a file that already exists (it must be replaced) and once to
# standard output; all of its runs are one batch file, so that Wine starts once.
set -u
if [ $# != 2 ]; then
    echo "usage: $0 LINUX_RENDER WIN_RENDER_EXE" >&2
    exit 2
fi
# shellcheck disable=SC2034 # used through eval
linux=$(realpath "$1")
exe=$(realpath "$2")
root=$(cd "$(dirname "$0")/../.." && pwd)

# 32- or 64-bit: the magic number of the PE optional header.
pe=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
case $(od -An -tx2 -j$((pe + 24)) -N2 "$exe" | tr -d ' ') in
010b) arch=win32 wine="wine, 32-bit" ;;
020b) arch=win64 wine="wine64, 64-bit" ;;
*)
    echo "render_identity: $exe is no Windows program" >&2
    exit 2
    ;;
esac
prefix=${WINE_RUN_PREFIX:-$(dirname "$exe")/../wine-prefix}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/file" "$work/stdout"

# The tones, one line of options each, as a shell and the C runtime both split them.
tones=()
add() { tones+=("$*"); }
styles=(0 1 2 3 4 5 6 8) # all but White Noise (7)
formats=()
for rate in 5512 11025 22050 44100; do
    for bits in 8 16; do
        for channels in 1 2; do
            formats+=("--rate $rate --bits $bits --channels $channels")
        done
    done
done
frequencies=(315 440 1000 2500 27.5 8000 12345.678 19000 100 3333.3 55 15000 666 20 7040 1234.5)
amplitudes=(25 50 80 100 1 75 33 99)

# Every style in every format, at frequencies and amplitudes that change along.
n=0
for style in "${styles[@]}"; do
    for format in "${formats[@]}"; do
        add --style "$style" "$format" --frequency "${frequencies[$((n % 16))]}" \
            --amplitude "${amplitudes[$((n % 8))]}" --duration 0.75
        n=$((n + 1))
    done
done
# Sweeps up, down, over the whole range, by a hair and below zero, formats changing along.
sweeps=("100 5000" "5000 100" "20 20000" "1000 1001" "440 -3" "19000 30" "2 90000")
for style in "${styles[@]}"; do
    for sweep in "${sweeps[@]}"; do
        read -r from to <<<"$sweep"
        add --style "$style" "${formats[$((n % 16))]}" --frequency "$from" --sweep "$to" \
            --amplitude "${amplitudes[$((n % 8))]}" --duration 1.5
        n=$((n + 1))
    done
done
# Fades, alone, together and with a sweep.
for style in "${styles[@]}"; do
    for fade in --fade-in --fade-out "--fade-in --fade-out" "--fade-in --fade-out --sweep 3000"; do
        add --style "$style" "${formats[$((n % 16))]}" --frequency 880 "$fade" --duration 1.25
        n=$((n + 1))
    done
done
# Odd values: frequencies below 20 Hz and above 20000, amplitudes of 0 and above 100 (and
# below 0), durations that are no whole number of frames or seconds, and none.
odd=("--frequency 0.5" "--frequency 7.3" "--frequency 19.99" "--frequency 0"
    "--frequency 20000.5" "--frequency 22050" "--frequency 30000" "--frequency 96000"
    "--amplitude 0" "--amplitude 101" "--amplitude 150" "--amplitude 1000" "--amplitude -5"
    "--duration 0" "--duration 0.0001" "--duration 0.37" "--duration 1.2345" "--duration 3.14159"
    "--frequency 3 --sweep 25000 --amplitude 120")
for style in 0 1 3 4 5 8; do
    for value in "${odd[@]}"; do
        add --style "$style" "${formats[$((n % 16))]}" "$value"
        n=$((n + 1))
    done
done
# Names for styles, and the defaults.
add --style '"absolute sine"' --frequency 700
add --style Triangle --frequency 700 --sweep 70
add
# White Noise with a fixed seed, in every format, with fades and a sweep (which it ignores).
seeds=(1 42 0 12345678901234 18446744073709551615 7)
for format in "${formats[@]}"; do
    add --style 7 "$format" --seed "${seeds[$((n % 6))]}" --amplitude "${amplitudes[$((n % 8))]}"
    n=$((n + 1))
done
add --style 7 --seed 9 --fade-in --fade-out --sweep 5000 --duration 2.5
# The longest tones.
add --style 0 --rate 44100 --bits 16 --channels 2 --duration 512 --frequency 315
add --style 3 --rate 44100 --bits 16 --channels 2 --duration 512 --frequency 1000 --fade-out
add --style 5 --rate 22050 --bits 16 --channels 1 --duration 512 --frequency 50 --sweep 12000
add --style 7 --rate 11025 --bits 8 --channels 2 --duration 512 --seed 5

# The Windows runs, in one batch file: each file output first holds other bytes, which the
# program must replace.  (Wine's cmd runs the right side of || whatever the status.)
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
(cd "$work" && "$root/tools/wine-run.sh" "$arch" "$prefix" cmd /c tones.bat) \
    >"$work/wine.log" 2>&1
wine_status=$?
wine_seconds=$(($(date +%s) - start))
if [ $wine_status != 0 ]; then
    echo "render_identity: the Wine batch ended with status $wine_status:"
    cat "$work/wine.log"
fi

# Where two images part: the first differing byte and, past the 44-byte header, its frame.
first_difference() { # expected, actual
    local at align rate
    at=$(cmp "$1" "$2" 2>/dev/null | sed -n 's/.* byte \([0-9]*\),.*/\1/p')
    if [ -z "$at" ]; then
        echo "$(stat -c %s "$2") bytes instead of $(stat -c %s "$1")"
        return
    fi
    at=$((at - 1))
    align=$(od -An -tu2 -j32 -N2 "$1" | tr -d ' ')
    rate=$(od -An -tu4 -j24 -N4 "$1" | tr -d ' ')
    echo -n "$(cmp -l "$1" "$2" 2>/dev/null | wc -l) bytes differ, the first at byte $at"
    [ "$at" -lt 44 ] || echo -n " (frame $(((at - 44) / align)) of $rate Hz)"
    echo
}

passed=0
failed=0
failed_runs=0
for i in "${!tones[@]}"; do
    eval "\"\$linux\" ${tones[$i]} -o \"\$work/linux.wav\"" 2>"$work/linux.err" || {
        echo "FAILED (Linux render): ${tones[$i]}: $(cat "$work/linux.err")"
        failed=$((failed + 1))
        continue
    }
    ok=1
    for way in file stdout; do
        if ! cmp -s "$work/linux.wav" "$work/$way/$i.wav"; then
            ok=0
            echo "FAILED ($way): ${tones[$i]}: $(first_difference "$work/linux.wav" "$work/$way/$i.wav")"
        fi
    done
    rm -f "$work/file/$i.wav" "$work/stdout/$i.wav"
    if [ $ok = 1 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
done
if [ -s "$work/failed.txt" ]; then
    echo "Windows runs with a status other than 0 (tone and output):" \
        "$(tr -d '\r' <"$work/failed.txt" | tr '\n' ' ')"
    failed_runs=1
fi

echo "render_identity ($wine): ${#tones[@]} tones compared, each written to a file and to" \
    "standard output; Wine ran for ${wine_seconds} s"
echo "render_identity: $passed passed, $failed failed"
[ $failed = 0 ] && [ $wine_status = 0 ] && [ $failed_runs = 0 ]

#!/bin/bash
# Another platform's varnok-render against Linux's, byte for byte, over a wide set of tones, each
# written once over an existing file and once to standard output: the Windows program under Wine
# (from one batch file, so that Wine starts once), or the WebAssembly one under node.
set -u
[ $# = 2 ] || { echo "usage: $0 LINUX_RENDER WIN_RENDER_EXE|WEB_RENDER_JS" >&2 && exit 2; }
linux=$(realpath "$1") program=$(realpath "$2")
root=$(cd "$(dirname "$0")/.." && pwd)
case $program in
*.js) arch=web ;;
*) arch=$(file -b "$program" | sed -n 's/^PE32+ .*/win64/p; s/^PE32 .*/win32/p') ;;
esac
[ -n "$arch" ] || { echo "render_identity: $program is no Windows or web program" >&2 && exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/file" "$work/stdout" "$work/err"

# One line of options a tone; the format, frequency, amplitude and seed change from one to the next.
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
add() { tones+=("${formats[$((${#tones[@]} % 16))]} $*"); }
varied() { add "$@" --amplitude "${amplitudes[$((${#tones[@]} % 8))]}"; }
# Every style but White Noise in every format, with sweeps and fades; then odd values.
for style in 0 1 2 3 4 5 6 8; do
    for _ in "${formats[@]}"; do
        varied --style "$style" --frequency "${frequencies[$((${#tones[@]} % 16))]}" --duration 0.75
    done
    for sweep in "100 5000" "5000 100" "20 20000" "1000 1001" "440 -3" "19000 30" "2 90000"; do
        varied --style "$style" --frequency "${sweep% *}" --sweep "${sweep#* }" --duration 1.5
    done
    for fade in --fade-in --fade-out "--fade-in --fade-out" "--fade-in --fade-out --sweep 3000"; do
        add --style "$style" --frequency 880 "$fade" --duration 1.25
    done
done
for style in 0 1 3 4 5 8; do
    for value in "--frequency "{0.5,7.3,19.99,0,20000.5,22050,30000,96000} \
        "--amplitude "{0,101,150,1000,-5} "--duration "{0,0.0001,0.37,1.2345,3.14159} \
        "--frequency 3 --sweep 25000 --amplitude 120"; do
        add --style "$style" "$value"
    done
done
# Style names, the defaults, White Noise (every format, and what it ignores), the longest tones.
tones+=("--style \"absolute sine\" --frequency 700" "--style Triangle --frequency 700 --sweep 70" "")
for _ in "${formats[@]}"; do
    varied --style 7 --seed "${seeds[$((${#tones[@]} % 6))]}"
done
tones+=("--style 7 --seed 9 --fade-in --fade-out --sweep 5000 --duration 2.5"
    "--style 0 --rate 44100 --bits 16 --channels 2 --duration 512 --frequency 315"
    "--style 3 --rate 44100 --bits 16 --channels 2 --duration 512 --frequency 1000 --fade-out"
    "--style 5 --rate 22050 --bits 16 --channels 1 --duration 512 --frequency 50 --sweep 12000"
    "--style 7 --rate 11025 --bits 8 --channels 2 --duration 512 --seed 5")

start=$SECONDS
wine_status=0
if [ $arch = web ]; then
    # One node process a run, its standard error kept.
    for i in "${!tones[@]}"; do
        printf 'stale\n' >"$work/file/$i.wav"
        eval "node \"\$program\" ${tones[$i]} -o \"\$work/file/$i.wav\"" 2>"$work/err/$i-file.txt" ||
            echo "$i file" >>"$work/failed.txt"
        eval "node \"\$program\" ${tones[$i]} -o - >\"\$work/stdout/$i.wav\"" 2>"$work/err/$i-stdout.txt" ||
            echo "$i stdout" >>"$work/failed.txt"
    done
    touch "$work/again.txt"
else
    # The Windows runs.  (Wine's cmd runs the right side of || whatever the status.)
    winexe="Z:${program//\//\\}"
    # Tone $1 written to a file or to standard output ($2), standard error kept; a failed run is
    # run once more (one failed once in CI with no output, not in 3,000 runs since), noted each
    # time.
    run_line() {
        local run="\"$winexe\" ${tones[$1]} -o - >stdout\\$1.wav" note="$1 $2>>"
        [ "$2" = file ] && run="\"$winexe\" ${tones[$1]} -o file\\$1.wav" && printf 'stale\n' >"$work/file/$1.wav"
        printf '%s 2>err\\%s-%s.txt\r\nif errorlevel 1 (echo %sagain.txt & %s)\r\nif errorlevel 1 echo %sfailed.txt\r\n' \
            "$run" "$1" "$2" "$note" "$run" "$note"
    }
    {
        printf '@echo off\r\ntype nul >again.txt\r\n'
        for i in "${!tones[@]}"; do run_line "$i" file && run_line "$i" stdout; done
    } >"$work/tones.bat"
    prefix=${WINE_RUN_PREFIX:-$(dirname "$program")/../wine-prefix}
    (cd "$work" && "$root/tools/wine-run.sh" "$arch" "$prefix" cmd /c tones.bat) >"$work/wine.log" 2>&1
    wine_status=$?
    [ $wine_status = 0 ] || { echo "render_identity: Wine ended with status $wine_status:" && cat "$work/wine.log"; }
    while read -r i way; do
        echo "render_identity: $way of tone $i run once more; its standard error was:" && cat "$work/err/$i-$way.txt"
    done < <(tr -d '\r' <"$work/again.txt")
fi

failed=0
for i in "${!tones[@]}"; do
    eval "\"\$linux\" ${tones[$i]} -o \"\$work/linux.wav\"" || { echo "FAILED (Linux): ${tones[$i]}" && failed=$((failed + 1)); }
    for way in file stdout; do
        cmp "$work/linux.wav" "$work/$way/$i.wav" >"$work/cmp" 2>&1 ||
            { echo "FAILED ($way): ${tones[$i]}: $(cat "$work/cmp")" && failed=$((failed + 1)); }
    done
done
if [ -s "$work/failed.txt" ]; then
    echo "$arch runs that failed (tone and output):" "$(tr -d '\r' <"$work/failed.txt")"
    failed=$((failed + 1))
fi
echo "render_identity ($arch): ${#tones[@]} tones, each written to a file and to standard output;" \
    "the $arch runs took $((SECONDS - start)) s; runs repeated: $(wc -l <"$work/again.txt"); $failed failures"
[ $failed = 0 ] && [ $wine_status = 0 ]

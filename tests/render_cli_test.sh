#!/bin/bash
# varnok-render as a user runs it: options in both spellings, errors, output handling, and a
# second program reading what it wrote.
set -u
render=$(realpath "$1")
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
passed=0
failed=0
check() { # description, then a command that must succeed
    local what=$1
    shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $what"; fi
}
status_of() { "$render" "$@" >"$work/out" 2>"$work/err"; echo $?; }

# Defaults: 1 s of 315 Hz, 16-bit mono at 44100 Hz, to tone.wav in the current directory.
(cd "$work" && "$render")
check "default output file" test -s "$work/tone.wav"
check "default image size" test "$(stat -c %s "$work/tone.wav")" = 88244

# A second program reads the header: rate, width, channels and length.
"$render" --rate 22050 --bits 8 --channels 2 --duration 3 --style "absolute SINE" -o "$work/a.wav"
check "soxi rate" test "$(soxi -r "$work/a.wav")" = 22050
check "soxi bits" test "$(soxi -b "$work/a.wav")" = 8
check "soxi channels" test "$(soxi -c "$work/a.wav")" = 2
check "soxi samples" test "$(soxi -s "$work/a.wav")" = 66150
check "sox reads the data" sox -V1 "$work/a.wav" -n

# Both spellings, negative values included, give the same bytes.
"$render" --amplitude=-5 --frequency=1000 --sweep=-3 --style=Saw -o "$work/b1.wav"
"$render" --amplitude -5 --frequency 1000 --sweep -3 --style 1 -o "$work/b2.wav"
check "--opt=value equals --opt value" cmp -s "$work/b1.wav" "$work/b2.wav"

# Standard output carries exactly the file's bytes.
"$render" --style 3 --fade-in --fade-out -o - >"$work/c1.wav"
"$render" --style 3 --fade-in --fade-out -o "$work/c2.wav"
check "standard output" cmp -s "$work/c1.wav" "$work/c2.wav"

# The seed fixes the noise; without it two runs differ.
"$render" --style "White Noise" --seed 42 -o "$work/n1.wav"
"$render" --style "white noise" --seed 42 -o "$work/n2.wav"
"$render" --style 7 -o "$work/n3.wav"
"$render" --style 7 -o "$work/n4.wav"
check "seeded noise repeats" cmp -s "$work/n1.wav" "$work/n2.wav"
differs() { ! cmp -s "$1" "$2"; }
check "unseeded noise differs" differs "$work/n3.wav" "$work/n4.wav"

# Bad input: status 2, one line naming the option, no file.
for bad in "--rate abc" "--rate -1" "--bits 12" "--style 9" "--style Square" "--frequency 1k" \
    "--duration 513" "--duration nan" "--sweep inf" "--amplitude 2.5" "--seed x" "--bogus 1"; do
    # shellcheck disable=SC2086
    st=$(status_of $bad -o "$work/bad.wav")
    option=${bad%% *}
    check "$bad: status 2 (got $st)" test "$st" = 2
    check "$bad: one line" test "$(wc -l <"$work/err")" = 1
    check "$bad: names $option" grep -q -- "$option" "$work/err"
    check "$bad: no file" test ! -e "$work/bad.wav"
done

# An output that cannot be written: status 1, a message, nothing left behind.
mkdir "$work/ro"
chmod a-w "$work/ro"
if [ "$(id -u)" != 0 ]; then
    check "read-only folder: status 1" test "$(status_of -o "$work/ro/x.wav")" = 1
fi
check "missing folder: status 1" test "$(status_of -o "$work/none/x.wav")" = 1
check "missing folder: message" test -s "$work/err"
check "a folder as output: status 1" test "$(status_of -o "$work/ro")" = 1
check "nothing left beside it" test -z "$(ls -A "$work/ro")"
"$render" -o - >/dev/full 2>/dev/null
check "/dev/full: status 1" test $? = 1

echo "render_cli: $passed passed, $failed failed"
[ "$failed" = 0 ]

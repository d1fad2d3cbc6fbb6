#!/bin/bash
# varnok-render as a user runs it: options in both spellings, errors, output handling, and a
# second program reading what it wrote, and --play heard (unless the second argument is 0: a
# build whose renderer has no sound driver).
set -u
render=$(realpath "$1")
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
. "$(dirname "$0")/check.sh"
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

# Valid spellings of the same values give the same bytes.
while IFS='|' read -r one other; do
    # shellcheck disable=SC2086
    "$render" $one -o "$work/g1.wav" && "$render" $other -o "$work/g2.wav"
    check "$one equals $other" cmp -s "$work/g1.wav" "$work/g2.wav"
done <<'SAME'
--frequency 1e3|--frequency 1000
--frequency .5|--frequency 0.5
--style SAW|--style 1
--channels 0|--channels 1
--style=7 --seed=18446744073709551615|--style 7 --seed 18446744073709551615
SAME

# Bad input: status 2, one line naming the option, no file (the default output is tone.wav).
# Each row: an option, then the values it refuses (shell words); then arguments refused whole.
bad() {
    rm -rf "$work/bad" && mkdir "$work/bad"
    local st option=${1%%=*} named
    st=$(cd "$work/bad" && status_of "$@")
    grep -q -- "$option" "$work/err" && named=named || named="$option unnamed"
    check "$*: status 2, one line, $option named, no file" \
        test "$st $(wc -l <"$work/err") $named $(ls -A "$work/bad")" = "2 1 named "
}
while read -r row; do
    eval "words=($row)"
    for value in "${words[@]:1}"; do bad "${words[0]}" "$value"; done
done <<'BAD'
--rate abc -1 '' ' 44100' '44100 ' +44100 0x10 010 1e3 99999999999
--bits 12 '' ' 8' 0x10
--channels '' -1 0x2 2147483648
--amplitude 2.5 '' ' 5' 0x10 2147483648
--style 9 Square '' ' 1' '1 ' +1 0x1 01
--frequency 1k '' ' 1' 0x10 +1 1e99
--duration 513 nan -1 0x1p3 '1 '
--sweep inf ' 3'
--seed x '' -1 +5 0x10 ' 5' 18446744073709551616 99999999999999999999999
--output ''
--bogus 1
BAD
for args in --fade-in=2 --fade-out= --play=1; do bad "$args"; done

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

# Targets that are no new file, each in a folder of its own, whose whole listing is checked.
ref=$work/ref.wav
"$render" -o "$ref"
fresh() { d=$work/$1 && mkdir -p "$d"; }
listing() { (cd "$d" && find . -mindepth 1 | sort | tr '\n' ' '); }

# A FIFO is written through to its reader, never replaced.
fresh fifo
mkfifo "$d/p"
cat "$d/p" >"$work/fifo.out" &
reader=$!
"$render" -o "$d/p"
if [ -p "$d/p" ]; then wait $reader; else kill $reader; fi
check "FIFO kept, its reader got the image" test -p "$d/p" -a "$(listing)" = "./p "
check "FIFO carries the image" cmp -s "$ref" "$work/fifo.out"

# Device nodes are written through; a full one fails without being replaced.
if [ "$(id -u)" = 0 ]; then
    fresh dev
    mknod "$d/null" c 1 3 && mknod "$d/full" c 1 7
    check "device node: status 0" test "$(status_of -o "$d/null")" = 0
    check "full device: status 1" test "$(status_of -o "$d/full")" = 1
    check "device nodes kept" test -c "$d/null" -a -c "$d/full" -a "$(listing)" = "./full ./null "
fi

# A symbolic link is followed and stays a link, also when its target is still to be made.
fresh link
mkdir "$d/sub"
echo old >"$d/sub/t.wav"
ln -s sub/t.wav "$d/l" && ln -s sub/new.wav "$d/dangling"
"$render" -o "$d/l" && "$render" -o "$d/dangling"
check "links kept" test -L "$d/l" -a -L "$d/dangling" -a \
    "$(listing)" = "./dangling ./l ./sub ./sub/new.wav ./sub/t.wav "
check "link target rewritten" cmp -s "$ref" "$d/sub/t.wav"
check "dangling link's target made" cmp -s "$ref" "$d/sub/new.wav"

# A new file's mode follows the umask; an existing file keeps its mode (and owner, as root).
fresh mode
(umask 022 && "$render" -o "$d/a.wav") && (umask 077 && "$render" -o "$d/b.wav")
echo old >"$d/c.wav" && chmod 640 "$d/c.wav"
[ "$(id -u)" = 0 ] && chown 65534:65534 "$d/c.wav"
"$render" -o "$d/c.wav"
check "modes 644, 600, 640 kept" test "$(stat -c %a "$d/a.wav" "$d/b.wav" "$d/c.wav" | xargs)" = "644 600 640"
check "existing file rewritten" cmp -s "$ref" "$d/c.wav"
if [ "$(id -u)" = 0 ]; then check "owner kept" test "$(stat -c %u:%g "$d/c.wav")" = 65534:65534; fi

# Killed while writing, or stopped by the file size limit: the old file stays, nothing beside.
fresh kill
for sig in TERM INT HUP; do
    echo old >"$d/big.wav"
    env --default-signal=INT "$render" --duration 512 --rate 44100 --channels 2 -o "$d/big.wav" &
    pid=$!
    until find /proc/$pid/fd -lname "$d/*" 2>/dev/null | grep -q . || ! kill -0 $pid 2>/dev/null; do
        sleep 0.005
    done
    kill -$sig $pid
    wait $pid 2>/dev/null
    check "SIG$sig while writing: old file intact, nothing beside" \
        test "$(listing) $(cat "$d/big.wav")" = "./big.wav  old"
done
st=$(ulimit -f 10 && status_of -o "$d/big.wav")
check "file size limit: status 1 (got $st), old file intact, nothing beside" \
    test "$st $(listing) $(cat "$d/big.wav")" = "1 ./big.wav  old"

if [ "${2:-1}" = 1 ]; then
# --play: heard through OpenAL's wave-file back end at its frequency, length and level, with
# the file written only when asked for; Ctrl-C silences it at once (status 130); no device:
# status 1.
fresh play
shell_tests=$(dirname "$0")/shell
printf '[general]\ndrivers=wave\n[wave]\nfile=%s\n' "$work/heard.wav" >"$work/alsoft.conf"
export ALSOFT_CONF=$work/alsoft.conf
(cd "$d" && "$render" --play --frequency 1000 --duration 1)
check "--play writes no file by itself" test "$(listing)" = ""
check "--play: the tone heard" python3 "$shell_tests/sound_capture.py" measure "$work/heard.wav" 1000 1 -12.04
"$render" --play --style Saw -o "$d/saw.wav" && "$render" --style Saw -o "$d/saw-ref.wav"
check "--play --output writes the file too" cmp -s "$d/saw.wav" "$d/saw-ref.wav"
env --default-signal=INT "$render" --play --duration 8 &
pid=$!
python3 "$shell_tests/sound_capture.py" wait "$work/heard.wav" loud 0 10 >/dev/null
kill -INT $pid
wait $pid
st=$?
heard=$(python3 "$shell_tests/sound_capture.py" measure "$work/heard.wav" 315 1 -12.04 | grep -o '[0-9.]* s,')
check "Ctrl-C: status 130 (got $st), silenced after $heard" test "$st" = 130 -a "${heard%%.*}" = 0
st=$(ALSOFT_DRIVERS=no-such-driver ALSOFT_CONF=/dev/null status_of --play)
check "no sound device: status 1 (got $st), one line" test "$st $(wc -l <"$work/err")" = "1 1"
unset ALSOFT_CONF
fi

checks_done render_cli

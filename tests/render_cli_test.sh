#!/bin/bash
# varnok-render as a user runs it: defaults, spellings, refused arguments, outputs it cannot
# write and targets that are no new file, a second program reading what it wrote, and --play
# heard (unless the second argument is 0: a renderer without a sound driver).
set -u
render=$(realpath "$1")
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
. "$(dirname "$0")/check.sh"
umask 022
status_of() { "$render" "$@" >"$work/out" 2>"$work/err"; echo $?; }
# A folder's entries below it, each with its kind and mode, as one line.
listing() { (cd "$1" && find . -mindepth 1 -printf '%P:%y%m\n' | sort -t: -k1,1 | xargs); }

# Defaults: 1 s of 315 Hz Sine at 25 %, 16-bit mono at 44100 Hz, to tone.wav in the current
# folder; standard output carries the very bytes of a file.
(cd "$work" && "$render")
ref=$work/tone.wav
check "defaults, standard output" cmp -s "$ref" <("$render" --rate 44100 --bits 16 --channels 1 \
    --style 0 --frequency 315 --duration 1 --amplitude 25 --sweep 0 -o -)

# A second program reads the header (rate, width, channels, length) and the data.
"$render" --rate 22050 --bits 8 --channels 2 --duration 3 --style "absolute SINE" -o "$work/a.wav"
check "soxi reads 22050 Hz, 8 bits, 2 channels, 66150 frames" \
    test "$(for o in r b c s; do soxi -$o "$work/a.wav"; done | xargs)" = "22050 8 2 66150"
check "sox reads the data" sox -V1 "$work/a.wav" -n

# Spellings of the same values give the same bytes; only unseeded noise differs between runs.
while IFS='|' read -r one other; do
    # shellcheck disable=SC2086
    "$render" $one -o "$work/g1.wav" && "$render" $other -o "$work/g2.wav"
    check "$one equals $other" cmp -s "$work/g1.wav" "$work/g2.wav"
done <<'SAME'
--amplitude=-5 --frequency=1000 --sweep=-3 --style=Saw|--amplitude -5 --frequency 1000 --sweep -3 --style 1
--frequency 1e3|--frequency 1000
--frequency .5|--frequency 0.5
--style SAW|--style 1
--channels 0|--channels 1
--style=7 --seed=18446744073709551615|--style 7 --seed 18446744073709551615
SAME
check "unseeded noise differs" test "$("$render" --style 7 -o - | cksum)" != "$("$render" --style 7 -o - | cksum)"

# Refused: status 2, one line naming the option, no file (the default output is tone.wav).
# Each row: an option, then the values it refuses (shell words); then arguments refused whole.
bad() {
    rm -rf "$work/bad" && mkdir "$work/bad"
    st=$(cd "$work/bad" && status_of "$@")
    check "$*: status 2, one line naming ${1%%=*}, no file" \
        test "$st $(wc -l <"$work/err") $(grep -c -- "${1%%=*}" "$work/err") $(ls -A "$work/bad")" = "2 1 1 "
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

# An output that cannot be written: status 1, one line, nothing left behind.
mkdir "$work/ro" && chmod a-w "$work/ro"
unwritable=("$work/none/x.wav" "$work/ro")
[ "$(id -u)" = 0 ] || unwritable+=("$work/ro/x.wav")
for target in "${unwritable[@]}"; do
    check "$target: status 1, one line" test "$(status_of -o "$target") $(wc -l <"$work/err")" = "1 1"
done
check "nothing left beside it" test -z "$(ls -A "$work/ro")"
"$render" -o - >/dev/full 2>/dev/null
check "/dev/full: status 1" test $? = 1

# Targets that are no new file keep kind, mode and owner, nothing left beside: a FIFO reaches its
# reader, links are followed (even dangling), a file is rewritten; new files follow the umask.
d=$work/targets && mkdir -p "$d/sub"
mkfifo "$d/p"
echo old >"$d/sub/t.wav" && ln -s sub/t.wav "$d/l" && ln -s sub/new.wav "$d/dangling"
echo old >"$d/c.wav" && chmod 640 "$d/c.wav"
[ "$(id -u)" = 0 ] && chown 65534:65534 "$d/c.wav"
cat "$d/p" >"$work/fifo.wav" &
reader=$!
for target in p l dangling c.wav; do "$render" -o "$d/$target"; done
if [ -p "$d/p" ]; then wait $reader; else kill $reader; fi
(umask 077 && "$render" -o "$d/b.wav") && "$render" -o "$d/a.wav"
check "kinds and modes kept, nothing beside" test "$(listing "$d")" = \
    "a.wav:f644 b.wav:f600 c.wav:f640 dangling:l777 l:l777 p:p644 sub:d755 sub/new.wav:f644 sub/t.wav:f644"
for f in fifo.wav targets/sub/t.wav targets/sub/new.wav targets/c.wav; do
    check "$f holds the image" cmp -s "$ref" "$work/$f"
done
if [ "$(id -u)" = 0 ]; then
    check "owner kept" test "$(stat -c %u:%g "$d/c.wav")" = 65534:65534
    d=$work/dev && mkdir "$d" && mknod "$d/null" c 1 3 && mknod "$d/full" c 1 7
    check "device nodes written through (status 0), a full one fails (1), both kept" \
        test "$(status_of -o "$d/null") $(status_of -o "$d/full") $(listing "$d")" = "0 1 full:c644 null:c644"
fi

# Killed while writing, or stopped by the file size limit: the old file stays, nothing beside.
d=$work/kill && mkdir "$d"
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
        test "$(listing "$d") $(cat "$d/big.wav")" = "big.wav:f644 old"
done
st=$(ulimit -f 10 && status_of -o "$d/big.wav")
check "file size limit: status 1 (got $st), old file intact, nothing beside" \
    test "$st $(listing "$d") $(cat "$d/big.wav")" = "1 big.wav:f644 old"

if [ "${2:-1}" = 1 ]; then
    # --play heard through OpenAL's wave-file backend, a file written only when asked for;
    # Ctrl-C silences it at once (status 130); no device: status 1.
    d=$work/play && mkdir "$d"
    capture=$(dirname "$0")/shell/sound_capture.py
    printf '[general]\ndrivers=wave\n[wave]\nfile=%s\n' "$work/heard.wav" >"$work/alsoft.conf"
    export ALSOFT_CONF=$work/alsoft.conf
    (cd "$d" && "$render" --play --frequency 1000 --duration 1)
    check "--play writes no file by itself" test -z "$(listing "$d")"
    check "--play: the tone heard" python3 "$capture" measure "$work/heard.wav" 1000 1 -12.04
    "$render" --play -o "$d/played.wav"
    check "--play --output writes the file too" cmp -s "$ref" "$d/played.wav"
    env --default-signal=INT "$render" --play --duration 8 &
    pid=$!
    python3 "$capture" wait "$work/heard.wav" loud 0 10 >/dev/null
    kill -INT $pid
    wait $pid
    st=$?
    heard=$(python3 "$capture" measure "$work/heard.wav" 315 1 -12.04 | grep -o '[0-9.]* s,')
    check "Ctrl-C: status 130 (got $st), silenced after $heard" test "$st" = 130 -a "${heard%%.*}" = 0
    st=$(ALSOFT_DRIVERS=no-such-driver ALSOFT_CONF=/dev/null status_of --play)
    check "no sound device: status 1 (got $st), one line" test "$st $(wc -l <"$work/err")" = "1 1"
fi

checks_done render_cli

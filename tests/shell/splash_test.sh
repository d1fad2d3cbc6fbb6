#!/bin/bash
# "ABOUT" in a real program under a virtual display with a window manager: the splash window
# opens at (150, 150) with a 490 x 350 client area and the host name as its title, closes by
# itself after about 2.5 s, and opens again on every press; a stand-in xdg-open first on PATH
# records what the program hands to the desktop.
#
# usage: splash_test.sh PROGRAM TITLE_START OPENS_PAGE(1|0)
#   With SCREENSHOT=FILE set, a picture of the splash window is saved there.
set -u
program=$1 title_start=$2 opens=$3

if [ -z "${VARNOK_IN_X:-}" ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    export VARNOK_IN_X=1 WORK=$work
    st=0
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$0" "$@" || st=$?
    exit $st
fi

status=0
fail() { echo "FAIL: $*"; status=1; }

XDG_CACHE_HOME=$WORK/cache XDG_CONFIG_HOME=$WORK/config openbox --sm-disable >/dev/null 2>&1 &
wm=$!
for _ in $(seq 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done

mkdir -p "$WORK/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s/opened.log"\n' "$WORK" >"$WORK/bin/xdg-open"
chmod +x "$WORK/bin/xdg-open"

PATH=$WORK/bin:$PATH ALSOFT_DRIVERS=null "$program" >"$WORK/program.log" 2>&1 &
pid=$!
pattern=$(printf '%s' "$title_start" | sed 's/[][().*+?^$|\\]/\\&/g')
wid=$(timeout 10 xdotool search --sync --onlyvisible --name "^${pattern}" | head -n 1)
[ -n "$wid" ] || { fail "no main window"; kill $pid; exit 1; }
sleep 0.7

splash_windows() { xdotool search --onlyvisible --name '^www\.halvex-tones\.example$' 2>/dev/null; }

for press in 1 2; do
    start=$(date +%s%N)
    xdotool mousemove --window "$wid" 440 360 click 1 # "ABOUT"
    splash=
    for _ in $(seq 40); do
        splash=$(splash_windows | head -n 1)
        [ -n "$splash" ] && break
        sleep 0.05
    done
    [ -n "$splash" ] || { fail "press $press: no splash window"; continue; }
    sleep 0.3
    info=$(xwininfo -id "$splash")
    x=$(echo "$info" | awk '/Absolute upper-left X/{print $4}')
    y=$(echo "$info" | awk '/Absolute upper-left Y/{print $4}')
    w=$(echo "$info" | awk '/Width:/{print $2}')
    h=$(echo "$info" | awk '/Height:/{print $2}')
    extents=$(xprop -id "$splash" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')
    IFS=, read -r left right top bottom <<<"${extents:-0,0,0,0}"
    [ "$((x - left)),$((y - top))" = "150,150" ] || fail "press $press: outer corner at $((x - left)),$((y - top))"
    [ "${w}x${h}" = "490x350" ] || fail "press $press: client area ${w}x${h}"
    if [ -n "${SCREENSHOT:-}" ]; then
        import -window root -crop "$((w + left + right))x$((h + top + bottom))+$((x - left))+$((y - top))" +repage "$SCREENSHOT"
        SCREENSHOT=
    fi
    while [ -n "$(splash_windows)" ]; do
        [ $((($(date +%s%N) - start) / 1000000)) -gt 6000 ] && break
        sleep 0.05
    done
    shown=$((($(date +%s%N) - start) / 1000000))
    echo "press $press: splash shown for about $shown ms"
    [ "$shown" -ge 2400 ] && [ "$shown" -le 4000 ] || fail "press $press: shown for $shown ms"
done

sleep 0.3
if [ "$opens" = 1 ]; then
    expected="http://www.halvex-tones.example/Halvex_Free/index.html"
    [ "$(cat "$WORK/opened.log" 2>/dev/null)" = "$(printf '%s\n%s' "$expected" "$expected")" ] ||
        fail "the page was not handed over once per press: $(cat "$WORK/opened.log" 2>/dev/null)"
else
    [ ! -e "$WORK/opened.log" ] || fail "something was opened: $(cat "$WORK/opened.log")"
fi

timeout 5 xdotool windowactivate --sync "$wid" key alt+F4
code=none
for _ in $(seq 100); do
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"
        code=$?
        break
    fi
    sleep 0.1
done
[ "$code" = 0 ] || { fail "exit code $code"; kill "$pid" 2>/dev/null; }
kill "$wm" 2>/dev/null
wait "$wm" 2>/dev/null
[ $status = 0 ] && echo PASS
exit $status

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

# shellcheck source=desktop_session.sh
. "$(dirname "$0")/desktop_session.sh"
in_virtual_display "$0" "$@"

status=0
fail() { echo "FAIL: $*"; status=1; }

start_window_manager

# Under Wine the window manager draws the frame the system would have drawn, with borders a few
# pixels thinner: the window's own corner is placed exactly, the drawn frame's within that.
# The browser control there (no document engine) never finishes its blank page, which the
# splash waits for half a second, and the first press loads the browser host.
slack=0 longest=4000
case $program in *.exe) slack=3 longest=5500 ;; esac

mkdir -p "$WORK/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s/opened.log"\n' "$WORK" >"$WORK/bin/xdg-open"
chmod +x "$WORK/bin/xdg-open"

start_program "$program" "$WORK/sound.wav" "$WORK/program.log" PATH="$WORK/bin:$PATH"
wid=$(find_window "$title_start")
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
    dx=$((x - left - 150)) dy=$((y - top - 150))
    [ "${dx#-}" -le "$slack" ] && [ "${dy#-}" -le "$slack" ] ||
        fail "press $press: outer corner at $((x - left)),$((y - top))"
    [ "${w}x${h}" = "490x350" ] || fail "press $press: client area ${w}x${h}"
    if [ -n "${SCREENSHOT:-}" ]; then
        sleep 1 # the logo replaces the browser control
        import -window root -crop "$((w + left + right))x$((h + top + bottom))+$((x - left))+$((y - top))" +repage "$SCREENSHOT"
        SCREENSHOT=
    fi
    while [ -n "$(splash_windows)" ]; do
        [ $((($(date +%s%N) - start) / 1000000)) -gt 6000 ] && break
        sleep 0.05
    done
    shown=$((($(date +%s%N) - start) / 1000000))
    echo "press $press: splash shown for about $shown ms"
    [ "$shown" -ge 2400 ] && [ "$shown" -le "$longest" ] || fail "press $press: shown for $shown ms"
done

sleep 0.3
if [ "$opens" = 1 ]; then
    expected="http://www.halvex-tones.example/Halvex_Free/index.html"
    [ "$(cat "$WORK/opened.log" 2>/dev/null)" = "$(printf '%s\n%s' "$expected" "$expected")" ] ||
        fail "the page was not handed over once per press: $(cat "$WORK/opened.log" 2>/dev/null)"
else
    [ ! -e "$WORK/opened.log" ] || fail "something was opened: $(cat "$WORK/opened.log")"
fi

close_and_wait "$wid" "$pid"
[ "$exit_code" = 0 ] || fail "exit code $exit_code"
stop_window_manager
[ $status = 0 ] && echo PASS
exit $status

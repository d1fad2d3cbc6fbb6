#!/bin/bash
# Runs a real program under a virtual X display with a window manager, its sound written to a
# WAV file, and drives it with synthetic mouse clicks and keys: checks the title, renders and
# plays a tone, closes the window with Alt+F4 and checks the exit code and the recorded tone.
#
# usage: program_test.sh PROGRAM TITLE_START DEFAULT_HZ [DOWN_PRESSES HZ_AFTER]
#   DOWN_PRESSES HZ_AFTER: a second run that first moves the FREQUENCY list that many entries
#   down (with the keyboard) and expects HZ_AFTER.
#   With SCREENSHOT=FILE set, the first run also saves a picture of the main window there.
set -u
program=$1 title_start=$2 default_hz=$3 downs=${4:-} hz_after=${5:-}
here=$(cd "$(dirname "$0")" && pwd)

# shellcheck source=desktop_session.sh
. "$here/desktop_session.sh"
in_virtual_display "$0" "$@"

# From here on we run inside the virtual display.
fail() { echo "FAIL: $*"; status=1; }
status=0

start_window_manager

# Client-area coordinates of the controls, at their centres.
COMPILE="355 285" PLAY="100 360" FREQUENCY="270 140"

click() { xdotool mousemove --window "$wid" $1 click 1; }

# run NAME DOWNS EXPECTED_HZ
run() {
    local name=$1 downs=$2 hz=$3
    local wav="$WORK/$name.wav"
    start_program "$program" "$wav" "$WORK/$name.log"
    wid=$(find_window "$title_start")
    if [ -z "$wid" ]; then
        fail "$name: no window titled '$title_start...'"
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        return
    fi
    sleep 0.7 # let the window manager place the window and the program paint it

    local title expected
    title=$(xdotool getwindowname "$wid")
    expected="${title_start}$(printf '%32s' '')www.halvex-tones.example"
    [ "$title" = "$expected" ] || fail "$name: title is '$title'"
    xprop -id "$wid" _NET_WM_ICON | grep -q 'Icon (32 x 32)' || fail "$name: no 32 x 32 window icon"

    if [ -n "${SCREENSHOT:-}" ]; then
        # The client area grown by the window manager's frame, title bar included.
        local geometry extents
        extents=$(xprop -id "$wid" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')
        geometry=$(xwininfo -id "$wid" | awk -v e="${extents:-0,0,0,0}" '
            /Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
            /Width:/{w=$2} /Height:/{h=$2}
            END{split(e, f, ","); printf "%dx%d+%d+%d", w+f[1]+f[2], h+f[3]+f[4], x-f[1], y-f[3]}')
        import -window root -crop "$geometry" +repage "$SCREENSHOT"
        echo "screenshot of $geometry in $SCREENSHOT"
        SCREENSHOT=
    fi

    if [ "$downs" -gt 0 ]; then
        click "$FREQUENCY"
        sleep 0.4
        for _ in $(seq "$downs"); do xdotool key Down; done
        xdotool key Return
        sleep 0.3
    fi
    click "$COMPILE"
    sleep 0.5
    click "$PLAY"
    sleep 2 # the one-second tone, with room for a slow start
    close_and_wait "$wid" "$pid"
    local code=$exit_code
    if [ "$code" = none ]; then
        fail "$name: still running 10 s after Alt+F4"
        return
    fi
    [ "$code" = 0 ] || fail "$name: exit code $code"
    echo "$name: exit code $code"
    python3 "$here/measure_tone.py" "$wav" "$hz" 1.0 -12.04 || fail "$name: recorded tone"
}

run default 0 "$default_hz"
[ -n "$downs" ] && run picked "$downs" "$hz_after"

stop_window_manager
[ $status = 0 ] && echo PASS
exit $status

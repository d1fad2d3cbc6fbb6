#!/bin/bash
# A long session: CYCLES rounds of "COMPILE !", "PLAY" and "STOP" of the default one-second
# tone, each step taken once the one before shows (the tone heard, then silence).  Every PLAY
# must be heard, the program's resident memory after the last round must be within 2 MiB of
# what it was after the tenth, and the program must end with exit code 0.
#
# usage: soak_test.sh PROGRAM TITLE_START [CYCLES]
set -u
program=$1 title_start=$2 cycles=${3:-100}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=desktop_session.sh
. "$here/desktop_session.sh"
in_virtual_display "$0" "$@"

status=0
fail() { echo "FAIL: $*"; status=1; }
capture=$WORK/sound.wav
open_main_window "$program" "$title_start" "$capture"
resident() { awk '/^VmRSS:/ {print $2}' "/proc/$pid/status"; }

at=0 rss10=
for cycle in $(seq "$cycles"); do
    xdotool mousemove --window "$wid" $COMPILE_AT click 1 mousemove --window "$wid" $PLAY_AT click 1
    at=$(python3 "$here/sound_capture.py" wait "$capture" loud "$at" 10) || {
        fail "round $cycle: PLAY was not heard"
        break
    }
    xdotool mousemove --window "$wid" $STOP_AT click 1
    at=$(python3 "$here/sound_capture.py" wait "$capture" quiet "$at" 10) || {
        fail "round $cycle: STOP did not silence the tone"
        break
    }
    [ "$cycle" = 10 ] && rss10=$(resident)
done
rss=$(resident)
echo "resident memory: ${rss10:-?} KiB after round 10, $rss KiB after round $cycles"
if [ -n "$rss10" ] && [ $((rss - rss10)) -gt 2048 ]; then fail "memory grew by $((rss - rss10)) KiB"; fi

close_and_wait "$wid" "$pid"
[ "$exit_code" = 0 ] || fail "exit code $exit_code"
heard=$(python3 "$here/sound_capture.py" bursts "$capture")
[ "$heard" = "$cycles" ] || fail "$heard tones heard for $cycles PLAYs"
stop_window_manager
[ $status = 0 ] && echo PASS
exit $status

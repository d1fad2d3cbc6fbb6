#!/bin/bash
# Clicks made while a handler runs: with a 512 s stereo White Noise tone chosen (from the
# keyboard), "COMPILE !", "PLAY" and "COMPILE !" are clicked at once, all three while the first
# render runs.  Handled one at a time, each on the buttons the handler before it left, they
# play the first tone and render a second one: the noise is heard and the window ends in Ready
# to play ("COMPILE !" disabled, "PLAY" enabled).
#
# usage: queued_clicks_test.sh PROGRAM TITLE_START
set -u
program=$1 title_start=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=desktop_session.sh
. "$here/desktop_session.sh"
in_virtual_display "$0" "$@"

status=0
fail() { echo "FAIL: $*"; status=1; }
open_main_window "$program" "$title_start" "$WORK/sound.wav"
xdotool windowactivate --sync "$wid"

# The first list has the focus: 2 channels, then STYLES' next to last entry, then DURATION's
# last.
xdotool key --window "$wid" End Tab Tab Tab End Up Tab Tab Tab End
xdotool mousemove --window "$wid" $COMPILE_AT click 1 mousemove --window "$wid" $PLAY_AT click 1 \
    mousemove --window "$wid" $COMPILE_AT click 1

python3 "$here/sound_capture.py" wait "$WORK/sound.wav" loud 0 60 >/dev/null || fail "no tone was heard"
wait_for 5 eval 'looks "$wid" $COMPILE_AT disabled && looks "$wid" $PLAY_AT enabled' ||
    fail "COMPILE/PLAY end $(button_state "$wid" $COMPILE_AT)/$(button_state "$wid" $PLAY_AT)"

close_and_wait "$wid" "$pid"
[ "$exit_code" = 0 ] || fail "exit code $exit_code"
stop_window_manager
[ $status = 0 ] && echo PASS
exit $status

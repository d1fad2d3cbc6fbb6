#!/bin/bash
# Runs a command on a virtual X display with a window manager: in_display.sh COMMAND [ARGS...]
. "$(dirname "$0")/desktop_session.sh"
in_virtual_display "$0" "$@"
start_window_manager
HOME=$WORK/home "$@"

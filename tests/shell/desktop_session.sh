# Shared by the end-to-end scripts: a virtual X display with a window manager, and the
# program's main window found, closed and waited for.  Source it, then call
# in_virtual_display "$0" "$@" first.

# Re-runs the calling script inside xvfb-run with a scratch folder in $WORK; returns only
# inside the display.
in_virtual_display() {
    [ -n "${VARNOK_IN_X:-}" ] && return 0
    local script=$1
    shift
    local work st=0
    work=$(mktemp -d)
    export VARNOK_IN_X=1 WORK=$work
    stop_wine_server
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$script" "$@" || st=$?
    stop_wine_server
    rm -rf "$work"
    exit $st
}

# Ends the Wine server of $WINEPREFIX, if any, with every program of its: Wine's desktop
# process serves the display of whoever started the server, so a program on this session's
# display needs a server of its own, and no server may outlive the display.
stop_wine_server() {
    [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] || return 0
    local server=/usr/lib/wine/wineserver
    [ -x "$server" ] || server=$(command -v wineserver) || return 0
    "$server" -k 2>/dev/null
    "$server" -w 2>/dev/null
    return 0
}

# The centres of the buttons in the main window's client area.
COMPILE_AT="355 285" PLAY_AT="100 360" STOP_AT="270 360" ABOUT_AT="440 360"

# "enabled" or "disabled": how the button whose caption is centred at client point ($2, $3) of
# window $1 looks now.  An enabled caption is drawn in black, a disabled one in grey.
button_state() {
    local darkest
    darkest=$(import -window "$1" -crop "40x10+$(($2 - 20))+$(($3 - 5))" -colorspace Gray \
        -format '%[fx:int(255*minima)]' info: 2>/dev/null)
    if [ "${darkest:-255}" -lt 60 ]; then echo enabled; else echo disabled; fi
}

# Runs the command until it succeeds, for at most $1 seconds; fails when it never does.
wait_for() {
    local deadline=$(($(date +%s) + $1))
    shift
    until "$@"; do
        [ "$(date +%s)" -le "$deadline" ] || return 1
        sleep 0.05
    done
}

# Whether the button centred at client point ($2, $3) of window $1 looks $4.
looks() { [ "$(button_state "$1" "$2" "$3")" = "$4" ]; }

# The number of windows on the screen.
visible_windows() { xdotool search --onlyvisible --name '' 2>/dev/null | wc -l; }

# Starts openbox and waits until it manages the screen; its pid goes to $wm.
start_window_manager() {
    XDG_CACHE_HOME=$WORK/cache XDG_CONFIG_HOME=$WORK/config openbox --sm-disable \
        >"$WORK/openbox.log" 2>&1 &
    wm=$!
    wait_for 5 eval "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'"
}

stop_window_manager() {
    kill "$wm" 2>/dev/null
    wait "$wm" 2>/dev/null
}

# Starts PROGRAM in the background with what it plays recorded to the WAV file CAPTURE and its
# output in LOG; sets $pid.  A Linux program plays through OpenAL's wave-file backend; a Windows
# program runs under Wine (in $WINEPREFIX, made here when unset), whose DirectSound plays into
# ALSA's default device, here a file of 16-bit stereo at 48000 Hz.  Extra arguments are
# variable assignments for the program's environment.
start_program() {
    local program=$1 capture=$2 log=$3
    shift 3
    case $program in
    *.exe)
        # Debian keeps the loaders in /usr/lib/wine (its /usr/bin/wine picks one by itself).
        local wine=/usr/lib/wine/wine
        case $(file -b "$program") in *PE32+*) wine=/usr/lib/wine/wine64 ;; esac
        [ -x "$wine" ] || wine=wine
        mkdir -p "$WORK/home"
        cat >"$WORK/home/.asoundrc" <<ASOUNDRC
pcm.!default {
    type plug
    slave { pcm "capture"; format S16_LE; rate 48000; channels 2 }
}
pcm.capture { type file; slave.pcm "null"; file "$capture"; format "wav" }
ASOUNDRC
        env HOME="$WORK/home" WINEPREFIX="${WINEPREFIX:-$WORK/wine}" WINEDEBUG=-all \
            WINEDLLOVERRIDES="mscoree,mshtml=" "$@" "$wine" "$program" >"$log" 2>&1 &
        ;;
    *)
        printf '[general]\ndrivers=wave\n[wave]\nfile=%s\n' "$capture" >"$WORK/alsoft.conf"
        env ALSOFT_CONF="$WORK/alsoft.conf" "$@" "$program" >"$log" 2>&1 &
        ;;
    esac
    pid=$!
}

# Starts the window manager and PROGRAM (recording to CAPTURE, its output in $WORK, extra
# arguments as for start_program), sets $wid to its main window, whose title starts with
# TITLE_START, and waits until the window is drawn; without one it reports and ends the script.
open_main_window() {
    local program=$1 title_start=$2 capture=$3
    shift 3
    start_window_manager
    start_program "$program" "$capture" "$WORK/program.log" "$@"
    wid=$(find_window "$title_start")
    [ -n "$wid" ] && wait_for 10 looks "$wid" $COMPILE_AT enabled && return 0
    echo "FAIL: no main window"
    kill "$pid"
    exit 1
}

# The id of the visible window whose title starts with the text $1 (empty after 30 s: a
# program under Wine may take a while to come up).
find_window() {
    local pattern
    pattern=$(printf '%s' "$1" | sed 's/[][().*+?^$|\\]/\\&/g')
    timeout 30 xdotool search --sync --onlyvisible --name "^${pattern}" | head -n 1
}

# Asks window $1 to close with Alt+F4 and sets $exit_code to the exit code of process $2 (a
# child of the caller's shell), or to "none" when it is still running 10 s later (it is then
# killed).
close_and_wait() {
    local window=$1 pid=$2
    timeout 5 xdotool windowactivate --sync "$window" key alt+F4
    if wait_for 10 eval "! kill -0 $pid 2>/dev/null"; then
        wait "$pid"
        exit_code=$?
        return
    fi
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    exit_code=none
}

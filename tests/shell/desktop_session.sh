# The end-to-end scripts' virtual X display and window manager, and a program's main window
# opened with its sound recorded.  Source it, then call in_virtual_display "$0" "$@" first: it
# re-runs the calling script inside xvfb-run with a scratch folder in $WORK.
in_virtual_display() {
    [ -n "${VARNOK_IN_X:-}" ] && return 0
    local script=$1 st=0
    shift
    export VARNOK_IN_X=1 WORK=$(mktemp -d)
    mkdir "$WORK/home"
    cat >"$WORK/home/.asoundrc" <<ASOUNDRC
pcm.!default { type plug; slave { pcm "capture"; format S16_LE; rate 48000; channels 2 } }
pcm.capture { type file; slave.pcm "null"; file "$WORK/sound.wav"; format "wav" }
ASOUNDRC
    stop_wine_server
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$script" "$@" || st=$?
    stop_wine_server
    rm -rf "$WORK"
    exit $st
}

# Ends the Wine server of $WINEPREFIX and its programs: its desktop process serves the display
# it was started on, so each display needs a server of its own, which may not outlive it.
stop_wine_server() {
    [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] || return 0
    local server=/usr/lib/wine/wineserver
    [ -x "$server" ] || server=$(command -v wineserver) || return 0
    "$server" -k 2>/dev/null
    "$server" -w 2>/dev/null
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

# Starts openbox, to be stopped when the script ends, and waits until it manages the screen.
start_window_manager() {
    XDG_CACHE_HOME=$WORK/cache XDG_CONFIG_HOME=$WORK/config openbox --sm-disable \
        >"$WORK/openbox.log" 2>&1 &
    wm=$!
    trap 'kill "$wm" 2>/dev/null; wait "$wm" 2>/dev/null' EXIT
    wait_for 5 eval "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'"
}

# The centres of the buttons in the main window's client area.
COMPILE_AT="355 285" PLAY_AT="100 360" STOP_AT="270 360" ABOUT_AT="440 360"

# Whether the button whose caption is centred at client point ($2, $3) of window $1 looks $4:
# an enabled caption is drawn in black, a disabled one in grey.
looks() {
    local darkest
    darkest=$(import -window "$1" -crop "40x10+$(($2 - 20))+$(($3 - 5))" -colorspace Gray \
        -format '%[fx:int(255*minima)]' info: 2>/dev/null)
    if [ "${darkest:-255}" -lt 60 ]; then [ "$4" = enabled ]; else [ "$4" = disabled ]; fi
}

# Starts the window manager and PROGRAM (extra arguments: assignments for its environment),
# sets $pid, and $wid once its main window ("TITLE_START's first word ...") is drawn, or ends
# the script.  What it plays goes to $WORK/sound.wav: through OpenAL's wave-file backend, or
# under Wine (in $WINEPREFIX, made here when unset) through ALSA's default device.
open_main_window() {
    local program=$1 title_start=$2 wine=/usr/lib/wine/wine
    shift 2
    start_window_manager
    case $program in
    *.exe)
        # Debian keeps the loaders in /usr/lib/wine (its /usr/bin/wine picks one by itself).
        case $(file -b "$program") in *PE32+*) wine=/usr/lib/wine/wine64 ;; esac
        [ -x "$wine" ] || wine=wine
        env HOME="$WORK/home" WINEPREFIX="${WINEPREFIX:-$WORK/wine}" WINEDEBUG=-all \
            WINEDLLOVERRIDES="mscoree,mshtml=" "$@" "$wine" "$program" >"$WORK/program.log" 2>&1 &
        ;;
    *)
        printf '[general]\ndrivers=wave\n[wave]\nfile=%s\n' "$WORK/sound.wav" >"$WORK/alsoft.conf"
        env ALSOFT_CONF="$WORK/alsoft.conf" "$@" "$program" >"$WORK/program.log" 2>&1 &
        ;;
    esac
    pid=$!
    # A program under Wine may take a while to come up.
    wid=$(timeout 30 xdotool search --sync --onlyvisible --name "^${title_start%% *} " | head -n 1)
    [ -n "$wid" ] && wait_for 10 looks "$wid" $COMPILE_AT enabled && return 0
    echo "FAIL: no main window"
    kill "$pid"
    exit 1
}

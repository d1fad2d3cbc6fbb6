#!/bin/bash
# Runs a Windows program under Wine, as ctest's emulator for the Windows build trees:
#   tools/wine-run.sh win32|win64 PREFIX PROGRAM [ARGUMENTS...]
# win32 runs `wine` in a 32-bit prefix, win64 runs `wine64` in a 64-bit one.  PREFIX (one per
# build tree, or per CI run) is made on first use.  The program's standard input, output and
# error and its exit status pass through; when Wine itself reports a problem (it cannot start
# the program, a DLL or function is missing, an unhandled exception) on standard error, the
# run fails even if the program's status says it succeeded.
set -u
if [ $# -lt 3 ]; then
    echo "usage: $0 win32|win64 PREFIX PROGRAM [ARGUMENTS...]" >&2
    exit 2
fi
arch=$1
prefix=$2
shift 2
fail() {
    echo "wine-run: $*" >&2
    exit 125
}

case "$arch" in
win32)
    # Debian's /usr/bin/wine falls back to wine64 when wine32 is missing, which cannot run in
    # a 32-bit prefix.
    if [ -x /usr/lib/wine/wine ]; then
        wine=/usr/lib/wine/wine
    elif [ -x /usr/lib/wine/wine64 ]; then
        fail "wine32 is not installed (dpkg --add-architecture i386; apt-get install wine32:i386)"
    else
        wine=$(command -v wine) || fail "wine is not installed"
    fi
    ;;
win64)
    wine=$(command -v wine64) || wine=/usr/lib/wine/wine64
    [ -x "$wine" ] || fail "wine64 is not installed"
    ;;
*) fail "the first argument is win32 or win64, not '$arch'" ;;
esac

mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
export WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINELOADER WINESERVER

wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver) || fail "wineserver is not installed"

# The prefix, made once under a lock (ctest runs tests in parallel); system.reg is written
# when the prefix's Wine server ends, which wineserver -w waits for.
if [ ! -f "$prefix/system.reg" ]; then
    exec 9>"$prefix.lock"
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
        rm -rf "$prefix"
        if ! "$wine" wineboot --init >"$prefix.log" 2>&1 9>&-; then
            cat "$prefix.log" >&2
            fail "could not make the Wine prefix $prefix"
        fi
        "$wineserver" -w 9>&-
        [ -f "$prefix/system.reg" ] || { cat "$prefix.log" >&2; fail "no Wine prefix in $prefix"; }
    fi
    exec 9>&-
fi

# Wine's server and the system processes it starts with the first program live on after it
# and would hold that program's standard streams (and whoever reads them, ctest or a pipe)
# open: they are started here, with none of ours, and kept for a few seconds after the last
# program ends, so that programs run in a row find them and start at once.
"$wineserver" -p10 </dev/null >/dev/null 2>&1
"$wine" cmd /c exit </dev/null >/dev/null 2>&1

# Standard error goes through as it comes and is kept, to look for Wine's own complaints.
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
{ "$wine" "$@" 2>&1 1>&3 3>&- | tee "$errors" >&2; } 3>&1
status=${PIPESTATUS[0]}
if grep -Eq '^(wine: |wine client error|preloader: |[0-9a-f]{4}:(err|fixme):|(err|fixme):)|Application could not be started|wine32 is missing' "$errors"; then
    [ "$status" != 0 ] || status=125
    echo "wine-run: Wine reported a problem running $1 (status $status)" >&2
fi
exit "$status"

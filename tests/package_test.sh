#!/bin/bash
# The Debian package: made by cpack from the build, holding both programs, the renderer, their
# icons, menu entries, AppStream metadata, manual pages and completion, with dependencies this
# Debian release satisfies; lintian finds neither an error nor a warning in it; unpacked into
# a clean folder, the programs run from there.
set -u
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/check.sh"

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/*.deb)
check "one package made" test -f "$deb"
check "package name" test "$(dpkg-deb -f "$deb" Package)" = varnok
check "package version" test "$(dpkg-deb -f "$deb" Version)" = 1.3

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
files=(/usr/bin/varnok-render /usr/share/man/man1/varnok-render.1.gz
    /usr/share/bash-completion/completions/varnok-render
    /usr/share/doc/varnok/copyright /usr/share/doc/varnok/changelog.gz)
for program in varnok zembra; do
    files+=(/usr/bin/$program /usr/share/applications/$program.desktop
        /usr/share/metainfo/example.halvex_tones.$program.metainfo.xml
        /usr/share/man/man1/$program.1.gz)
    for size in 16 24 32 48 64 128 256; do
        files+=(/usr/share/icons/hicolor/${size}x$size/apps/$program.png)
    done
done
for f in "${files[@]}"; do
    check "contains $f" grep -qx "$f" "$work/contents"
done

# As a Debian developer checks a package, all tags shown; errors and warnings fail.
lintian --pedantic --display-info --fail-on error,warning "$deb" >"$work/lintian" 2>&1
check "lintian: no error or warning" test $? = 0
cat "$work/lintian"

# Every dependency is a package of this release at a version that satisfies it.
depends=$(dpkg-deb -f "$deb" Depends)
check "declares Qt, OpenAL and libpng" test -n "$(echo "$depends" | grep libqt6widgets6 | grep libopenal1 | grep libpng16)"
IFS=',' read -ra deps <<<"$depends"
for dep in "${deps[@]}"; do
    name=$(echo "$dep" | awk '{print $1}')
    op=$(echo "$dep" | sed -n 's/.*(\([<>=]*\) .*/\1/p')
    want=$(echo "$dep" | sed -n 's/.*(.* \(.*\))/\1/p')
    have=$(dpkg-query -W -f='${Version}' "$name" 2>/dev/null)
    if [ -z "$op" ]; then
        check "$name is available" test -n "$have"
    else
        check "$name $op $want (have $have)" dpkg --compare-versions "$have" "$op" "$want"
    fi
done

# Unpacked into a clean root, the programs find every library and run.
dpkg-deb -x "$deb" "$work/root"
for program in varnok zembra varnok-render; do
    check "$program links" test -z "$(ldd "$work/root/usr/bin/$program" | grep 'not found')"
done
"$work/root/usr/bin/varnok-render" --output "$work/tone.wav"
check "the packaged renderer renders" test "$(stat -c %s "$work/tone.wav")" = 88244
for program in varnok zembra; do
    # Started without a display it says so and ends cleanly; on the offscreen platform it runs
    # until stopped.
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$work/root/usr/bin/$program" 2>"$work/err"
    check "$program without a display: exit 0" test $? = 0
    check "$program without a display: one line" test "$(wc -l <"$work/err")" = 1
    QT_QPA_PLATFORM=offscreen timeout 2 "$work/root/usr/bin/$program"
    check "$program keeps running" test $? = 124
done
for entry in "$work"/root/usr/share/applications/*.desktop; do
    check "$(basename "$entry") is valid" desktop-file-validate "$entry"
done
# The AppStream metadata, checked with what it names: each program's menu entry and icons.
check "AppStream metadata is valid" appstreamcli validate-tree --no-net "$work/root"

checks_done package

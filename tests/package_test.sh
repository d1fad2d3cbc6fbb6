#!/bin/bash
# The Debian package cpack makes: every file the programs install, dependencies this release
# satisfies, no lintian error or warning, and programs that run unpacked into a clean folder.
set -u
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/check.sh"

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/*.deb)
check "one package, varnok 1.3" \
    test "$(dpkg-deb -f "$deb" Package Version | xargs)" = "Package: varnok Version: 1.3"

files=(/usr/bin/varnok-render /usr/share/man/man1/varnok-render.1.gz
    /usr/share/bash-completion/completions/varnok-render
    /usr/share/doc/varnok/copyright /usr/share/doc/varnok/changelog.gz)
for program in varnok zembra; do
    files+=(/usr/bin/$program /usr/share/applications/$program.desktop
        /usr/share/metainfo/example.halvex_tones.$program.metainfo.xml /usr/share/man/man1/$program.1.gz
        /usr/share/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,128x128,256x256}/apps/$program.png)
done
missing=$(printf '%s\n' "${files[@]}" | grep -vxFf <(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|'))
check "holds every file (missing: $missing)" test -z "$missing"

check "lintian: no error or warning" lintian --pedantic --display-info --fail-on error,warning "$deb"

depends=$(dpkg-deb -f "$deb" Depends)
check "declares Qt, OpenAL and libpng" test -n "$(echo "$depends" | grep libqt6widgets6 | grep libopenal1 | grep libpng16)"
check "this release satisfies $depends" apt-get satisfy --simulate -qq "$depends"

# Unpacked into a clean root, the programs find every library and run: without a display a
# program says so in one line and ends cleanly; on the offscreen platform it runs until stopped.
dpkg-deb -x "$deb" "$work/root"
for program in varnok zembra varnok-render; do
    check "$program links" test -z "$(ldd "$work/root/usr/bin/$program" | grep 'not found')"
done
for program in varnok zembra; do
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$work/root/usr/bin/$program" 2>"$work/err"
    check "$program without a display: status 0 (got $?), one line" test "$? $(wc -l <"$work/err")" = "0 1"
    QT_QPA_PLATFORM=offscreen timeout 2 "$work/root/usr/bin/$program"
    check "$program keeps running" test $? = 124
done
check "menu entries are valid" desktop-file-validate "$work"/root/usr/share/applications/*.desktop
check "AppStream metadata is valid" appstreamcli validate-tree --no-net "$work/root"

checks_done package

#!/bin/bash
# Installs the Debian packages that building, running and testing need; does nothing when
# they are all there.  usage: tools/install-deps.sh [windows|web]: the Linux build's packages,
# the Windows cross-build's (mingw-w64 and Wine, 32-bit Wine being an i386 package), or the web
# build's (emscripten, and a browser with its driver for the page's tests).
set -eu
if [ "${1:-}" = windows ]; then
    packages=(
        cmake make dpkg-dev file libgtest-dev libcli11-dev
        g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64 libz-mingw-w64-dev
        wine wine64 wine32:i386
    )
elif [ "${1:-}" = web ]; then
    packages=(
        cmake make dpkg-dev libcli11-dev emscripten nodejs node-acorn
        chromium chromium-driver python3-selenium
    )
else
    packages=(
        cmake g++ make pkg-config python3 file
        libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
        libpng-dev qt6-base-dev libopenal-dev fonts-dejavu-core
        xvfb xauth xdotool openbox x11-utils imagemagick sox
        hyperfine time dpkg-dev desktop-file-utils lintian appstream bash-completion
        clang libclang-rt-14-dev
        libmpfr-dev python3-mpmath
    )
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} = 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
if [ "${1:-}" = windows ]; then
    dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

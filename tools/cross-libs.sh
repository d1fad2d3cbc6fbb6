#!/bin/bash
# Cross-builds the static libraries a Windows or web build links into a prefix:
#   tools/cross-libs.sh ARCH PREFIX        (ARCH: i686 or x86_64 for Windows, wasm32 for the web)
# libpng from Debian's libpng1.6 source package, against the zlib of libz-mingw-w64-dev for
# Windows and of Debian's zlib source package for the web; GoogleTest (Windows only) from
# /usr/src/googletest (libgtest-dev).  Does nothing for a library the prefix already holds.
# Needs the mingw-w64 win32 compilers and libz-mingw-w64-dev, or emscripten; libgtest-dev,
# cmake, make and dpkg-dev (tools/build-windows.sh and tools/build-web.sh install them).
set -eu
usage() {
    echo "usage: $0 i686|x86_64|wasm32 PREFIX" >&2
    exit 2
}
case "${1:-}" in
i686 | x86_64 | wasm32) arch=$1 ;;
*) usage ;;
esac
[ -n "${2:-}" ] || usage
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$2"
prefix=$(cd "$2" && pwd)
jobs=$(nproc)
if [ "$arch" = wasm32 ]; then
    triple=wasm32-unknown-emscripten
    cc="emcc" ar="emar" ranlib="emranlib" includes="$prefix/include" libs="$prefix/lib"
else
    triple=$arch-w64-mingw32
    cc="$triple-gcc-win32" ar="$triple-ar" ranlib="$triple-ranlib"
    includes="/usr/$triple/include" libs="/usr/$triple/lib"
fi
toolchain=$root/cmake/toolchain-$triple.cmake

have_zlib() { [ "$arch" != wasm32 ] || [ -f "$prefix/lib/libz.a" ]; }
have_png() { [ -f "$prefix/include/png.h" ] && [ -f "$prefix/lib/libpng16.a" ]; }
have_gtest() {
    [ "$arch" = wasm32 ] || { [ -f "$prefix/lib/libgtest.a" ] && [ -f "$prefix/lib/libgtest_main.a" ] &&
        [ -f "$prefix/lib/cmake/GTest/GTestConfig.cmake" ]; }
}
have_zlib && have_png && have_gtest && exit 0

sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Source packages need deb-src entries: the machine's own deb entries, as deb-src, in a file
# of their own.
ensure_deb_src() {
    apt-cache showsrc libpng1.6 2>/dev/null | grep -q '^Version:' && return 0
    local list=/etc/apt/sources.list.d/varnok-deb-src.sources
    local f
    : >"$work/deb-src"
    for f in /etc/apt/sources.list.d/*.sources; do
        if [ ! -f "$f" ] || [ "$f" = "$list" ]; then continue; fi
        # deb822: each stanza whose Types has deb, as deb-src; disabled stanzas left out.
        awk 'function flush() {
                 if (deb && !disabled) { printf "%s", stanza; print "" }
                 stanza = ""; deb = 0; disabled = 0
             }
             /^[ \t]*$/ { flush(); next }
             /^#/ { next }
             /^Types:/ { if ($0 ~ /[ \t]deb([ \t]|$)/) deb = 1; stanza = stanza "Types: deb-src\n"; next }
             /^Enabled:[ \t]*no/ { disabled = 1 }
             { stanza = stanza $0 "\n" }
             END { flush() }' "$f" >>"$work/deb-src"
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        sed -n 's/^[ \t]*deb[ \t]\+/deb-src /p' "$f" >>"$work/deb-src.list"
    done
    if [ -s "$work/deb-src" ]; then
        $sudo cp "$work/deb-src" "$list"
    fi
    if [ -s "$work/deb-src.list" ]; then
        $sudo cp "$work/deb-src.list" "${list%.sources}.list"
    fi
    [ -s "$work/deb-src" ] || [ -s "$work/deb-src.list" ] || {
        echo "cross-libs: no deb entries to derive deb-src entries from" >&2
        exit 1
    }
    $sudo apt-get update -qq
}

# Unpacks Debian's source package $1 into $work/$1.  The newest version's source may be missing
# from the archive while an older one of the same release downloads: each version apt knows is
# tried, newest first.  Sets $got to the version.
fetch_source() {
    ensure_deb_src
    mkdir "$work/$1"
    local versions version
    got=""
    versions=$(apt-cache showsrc "$1" | sed -n 's/^Version: //p' | sort -u | sort -r -V)
    for version in $versions; do
        if (cd "$work/$1" && apt-get source -qq "$1=$version" >"$work/$1.log" 2>&1); then
            got=$version
            return 0
        fi
        echo "cross-libs: $1 $version: no source, trying an older one"
        rm -rf "${work:?}/$1"/*
    done
    cat "$work/$1.log" >&2
    echo "cross-libs: no $1 source could be downloaded" >&2
    exit 1
}

build_zlib() {
    fetch_source zlib
    local src
    src=$(find "$work/zlib" -mindepth 1 -maxdepth 1 -type d -name 'zlib*' | head -1)
    echo "cross-libs: zlib $got for $triple"
    (
        cd "$src"
        CC="$cc" AR="$ar" RANLIB="$ranlib" CFLAGS="-O2" ./configure --static --prefix="$prefix" \
            >"$work/zlib-configure.log" 2>&1 || { cat "$work/zlib-configure.log" >&2; exit 1; }
        make -s -j"$jobs" AR="$ar" ARFLAGS=rc libz.a >"$work/zlib-make.log" 2>&1 &&
            make -s AR="$ar" ARFLAGS=rc install >>"$work/zlib-make.log" 2>&1 ||
            { cat "$work/zlib-make.log" >&2; exit 1; }
    )
}

build_png() {
    fetch_source libpng1.6
    local src
    src=$(find "$work/libpng1.6" -mindepth 1 -maxdepth 1 -type d -name 'libpng*' | head -1)
    echo "cross-libs: libpng1.6 $got for $triple"
    (
        cd "$src"
        ./configure -q --host="$triple" --prefix="$prefix" --disable-shared --enable-static \
            --disable-dependency-tracking CC="$cc" AR="$ar" RANLIB="$ranlib" \
            CPPFLAGS="-I$includes" LDFLAGS="-L$libs" CFLAGS="-O2" \
            >"$work/png-configure.log" 2>&1 || { cat "$work/png-configure.log" >&2; exit 1; }
        make -s -j"$jobs" libpng16.la >"$work/png-make.log" 2>&1 ||
            { cat "$work/png-make.log" >&2; exit 1; }
        make -s install-libLTLIBRARIES install-pkgincludeHEADERS install-nodist_pkgincludeHEADERS \
            install-header-links install-library-links install-pkgconfigDATA \
            >>"$work/png-make.log" 2>&1 || { cat "$work/png-make.log" >&2; exit 1; }
    )
    mkdir -p "$prefix/share/varnok"
    echo "libpng1.6 $got" >"$prefix/share/varnok/libpng.version"
}

build_gtest() {
    echo "cross-libs: GoogleTest from /usr/src/googletest for $triple"
    # GoogleTest's Notification (a helper of its thread support) is made of std::mutex and
    # std::condition_variable, which the win32 thread model lacks: it is given one of atomics
    # instead, through GoogleTest's own hook for such settings, installed with its headers.
    cp -r /usr/src/googletest "$work/gtest-src"
    cat >"$work/gtest-src/googletest/include/gtest/internal/custom/gtest-port.h" <<'HEADER'
// Written by varnok's tools/cross-libs.sh: mingw-w64's win32 thread model has no std::mutex
// or std::condition_variable, of which GoogleTest makes its Notification.
#ifndef GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_
#define GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_

#include <atomic>
#include <thread>

#define GTEST_HAS_NOTIFICATION_ 1
namespace testing {
namespace internal {
class Notification {
 public:
  Notification() : notified_(false) {}
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { notified_.store(true, std::memory_order_release); }
  void WaitForNotification() {
    while (!notified_.load(std::memory_order_acquire)) std::this_thread::yield();
  }

 private:
  std::atomic<bool> notified_;
};
}  // namespace internal
}  // namespace testing

#endif  // GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_
HEADER
    cmake -S "$work/gtest-src" -B "$work/gtest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DVARNOK_WIN_DEPS="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release \
        -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON \
        >"$work/gtest.log" 2>&1 || { cat "$work/gtest.log" >&2; exit 1; }
    cmake --build "$work/gtest" -j"$jobs" >>"$work/gtest.log" 2>&1 ||
        { cat "$work/gtest.log" >&2; exit 1; }
    cmake --install "$work/gtest" >>"$work/gtest.log" 2>&1 || { cat "$work/gtest.log" >&2; exit 1; }
}

have_zlib || build_zlib
have_png || build_png
have_gtest || build_gtest

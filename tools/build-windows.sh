#!/bin/bash
# Cross-builds varnok for Windows with mingw-w64: build-win32/ (32-bit x86, the deliverables)
# and build-win64/ (x86-64), every program in their bin/ (varnok.exe, zembra.exe,
# varnok-render.exe and the tests).  Installs the Debian packages it needs
# (nothing when they are there), builds static libpng and GoogleTest into build-win-deps/ARCH
# (tools/cross-libs.sh), then configures and builds.  Extra arguments go to both CMake
# configurations (e.g. -DVARNOK_DESKTOP=OFF).  ctest in either tree runs the tests under Wine.
set -eu
cd "$(dirname "$0")/.."

bash tools/install-deps.sh windows

for arch in i686 x86_64; do
    case $arch in
    i686) dir=build-win32 ;;
    x86_64) dir=build-win64 ;;
    esac
    bash tools/cross-libs.sh $arch "build-win-deps/$arch"
    bash tools/build.sh "$dir" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-$arch-w64-mingw32.cmake" \
        -DVARNOK_WIN_DEPS="$PWD/build-win-deps/$arch" "$@"
done

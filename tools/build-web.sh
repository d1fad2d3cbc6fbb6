#!/bin/bash
# Builds varnok for the web with Debian's emscripten into build-web/: the two programs as pages
# (build-web/varnok/index.html and build-web/zembra/index.html, each with its .js and .wasm,
# working offline from that folder), and varnok-render for node (build-web/bin/varnok-render.js,
# which the render-identity test compares with Linux's).  Installs the Debian packages it needs
# (nothing when they are there) and cross-builds zlib and libpng from Debian's sources into
# build-web-deps/ (tools/cross-libs.sh).  Extra arguments go to the CMake configuration.
set -eu
cd "$(dirname "$0")/.."
bash tools/install-deps.sh web
# emscripten's JavaScript optimiser needs Debian's own node modules (acorn).
export NODE_PATH=/usr/share/nodejs
bash tools/cross-libs.sh wasm32 build-web-deps/wasm32
deps=$PWD/build-web-deps/wasm32
emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release -DVARNOK_DESKTOP=ON -DVARNOK_TESTS=OFF \
    -DVARNOK_BENCH=OFF \
    -DCMAKE_FIND_ROOT_PATH="$deps" -DPNG_PNG_INCLUDE_DIR="$deps/include" \
    -DPNG_LIBRARY="$deps/lib/libpng16.a" -DZLIB_INCLUDE_DIR="$deps/include" \
    -DZLIB_LIBRARY="$deps/lib/libz.a" "$@" >/dev/null
cmake --build build-web -j"$(nproc)"

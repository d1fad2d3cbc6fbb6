#!/bin/bash
# Builds varnok for the web with Debian's emscripten into build-web/: varnok-render for node
# (build-web/bin/varnok-render.js and .wasm, which the render-identity test compares with
# Linux's).  Installs the Debian packages it needs (nothing when they are there).  Extra
# arguments go to the CMake configuration.
set -eu
cd "$(dirname "$0")/.."
bash tools/install-deps.sh web
# emscripten's JavaScript optimiser needs Debian's own node modules (acorn).
export NODE_PATH=/usr/share/nodejs
emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release -DVARNOK_DESKTOP=OFF -DVARNOK_TESTS=OFF \
    -DVARNOK_BENCH=OFF "$@" >/dev/null
cmake --build build-web -j"$(nproc)"

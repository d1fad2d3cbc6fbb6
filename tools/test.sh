#!/bin/bash
# Sets up the machine, builds, and runs every test: once in the normal build, once with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -eu
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build.sh build
(cd build && ctest --output-on-failure -j2)
bash tools/build.sh build-asan -DVARNOK_SANITIZE=ON -DVARNOK_BENCH=OFF
(cd build-asan && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j2)

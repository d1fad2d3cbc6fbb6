#!/bin/bash
# Sets up the machine, builds, and runs every test: once in the normal build, once with
# AddressSanitizer and UndefinedBehaviorSanitizer, those without windows once more with
# ThreadSanitizer, then the fuzzers for a minute each, then the Windows builds under Wine
# (32-bit and 64-bit) and the web build, whose varnok-render (under node) must write Linux's
# bytes, and whose pages are used in headless Chromium.
set -eu
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build.sh build
(cd build && ctest --output-on-failure -j2)
bash tools/build.sh build-asan -DVARNOK_SANITIZE=ON -DVARNOK_BENCH=OFF
(cd build-asan && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j2)
# The renderer's threads under ThreadSanitizer (no windows: the synth, the toolkit core, the
# renderer's command line).
bash tools/build.sh build-tsan -DVARNOK_SANITIZE=thread -DVARNOK_DESKTOP=OFF -DVARNOK_BENCH=OFF
(cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j2)
bash tools/fuzz.sh 60
bash tools/build-windows.sh
for tree in build-win32 build-win64; do
    # A kernel without 32-bit support cannot start 32-bit Wine: there the 32-bit programs are
    # only built and their imports checked, and the 64-bit build runs every other test.
    if [ $tree = build-win32 ] && ! error=$(/usr/lib/wine/wine --version 2>&1 >/dev/null); then
        echo "build-win32: this machine cannot run 32-bit programs (${error##*: }); only the" \
            "import check runs here, every other Windows test runs in build-win64"
        (cd $tree && ctest --output-on-failure -R '^imports$')
        continue
    fi
    (cd $tree && ctest --output-on-failure -j2)
    bash tests/render_identity_test.sh build/bin/varnok-render $tree/bin/varnok-render.exe
done
bash tools/build-web.sh
bash tests/render_identity_test.sh build/bin/varnok-render build-web/bin/varnok-render.js
/usr/bin/python3 tests/web/page_test.py build-web build/bin/varnok-render

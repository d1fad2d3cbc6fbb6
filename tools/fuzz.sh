#!/bin/bash
# Builds the fuzzers of tests/fuzz in their own clang tree (build-fuzz) and runs each for
# SECONDS (default 60) from its committed seeds and the regression inputs, copied to a scratch
# folder so that the source tree is left as it is.  Fails on any finding (a crash, a sanitizer
# report, a leak, an input that takes over 30 s or asks for over 128 MiB at once); the scratch
# folder, whose name is printed, then keeps the input that caused it and the fuzzer's log.
# Usage: tools/fuzz.sh [SECONDS]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
start=$SECONDS
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNOK_FUZZ=ON \
    >/dev/null
cmake --build build-fuzz -j2 >/dev/null
echo "fuzz: built build-fuzz in $((SECONDS - start)) s"
scratch=$(mktemp -d /tmp/varnok-fuzz-XXXXXX)
failed=0
for fuzzer in fuzz_image fuzz_wav_service fuzz_wav_openal; do
    corpus=$scratch/$fuzzer
    mkdir "$corpus"
    if [ $fuzzer = fuzz_image ]; then
        cp tests/fuzz/corpus/image/* "$corpus"
        regressions=(tests/fuzz/regressions/*.{png,ico,bmp})
    else
        cp tests/fuzz/corpus/wav/* "$corpus"
        regressions=(tests/fuzz/regressions/*.wav)
    fi
    for f in "${regressions[@]}"; do
        [ ! -f "$f" ] || cp "$f" "$corpus"
    done
    log=$scratch/$fuzzer.log
    if build-fuzz/bin/$fuzzer -max_total_time="$seconds" -timeout=30 -malloc_limit_mb=128 \
        -print_final_stats=1 -artifact_prefix="$corpus/" "$corpus" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "fuzz: $fuzzer ran $runs inputs in $seconds s, found nothing"
    else
        echo "fuzz: $fuzzer FOUND A FAULT; its log ($log) ends:"
        tail -n 40 "$log"
        failed=1
    fi
done
if [ $failed = 0 ]; then
    rm -rf "$scratch"
    echo "fuzz: done in $((SECONDS - start)) s"
else
    echo "fuzz: the inputs and logs are kept in $scratch"
fi
exit $failed

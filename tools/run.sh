#!/bin/bash
# Sets up the machine, builds, and starts the program.
set -eu
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build.sh build
if [ -x build/bin/varnok ]; then
    exec build/bin/varnok "$@"
fi
build/bin/varnok-render --output tone.wav "$@"
echo "wrote tone.wav"

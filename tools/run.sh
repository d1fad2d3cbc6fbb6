#!/bin/bash
# Sets up the machine, builds, and starts varnok (arguments go to the program).
set -eu
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build.sh build
exec build/bin/varnok "$@"

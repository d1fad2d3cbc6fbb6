#!/bin/bash
# Configures and builds one build tree: tools/build.sh [DIR [CMAKE OPTIONS...]]
set -eu
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"

#!/bin/bash
# Builds the two pages (tools/build-web.sh) and serves them on this machine alone:
#   bash tools/serve-web.sh [PORT]      (default 8000; Ctrl-C stops it)
set -eu
cd "$(dirname "$0")/.."
bash tools/build-web.sh >/dev/null
port=${1:-8000}
echo "varnok: http://127.0.0.1:$port/varnok/   zembra: http://127.0.0.1:$port/zembra/"
exec /usr/bin/python3 -m http.server "$port" --bind 127.0.0.1 --directory build-web

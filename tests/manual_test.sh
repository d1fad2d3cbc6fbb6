#!/bin/bash
# The manual pages render without a warning, and varnok-render's names every option that its
# --help prints, as an entry of its own.
set -u
render=$1 pages=$2
. "$(dirname "$0")/check.sh"

for page in "$pages"/*.1; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    check "$(basename "$page") renders without a warning: $warnings" test -z "$warnings"
done
text=$(MANWIDTH=200 man -l "$pages/varnok-render.1" 2>/dev/null)
for option in $("$render" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    check "varnok-render.1 has an entry for $option" grep -qE -- "^ +(-[a-z], )?$option( |\$)" <<<"$text"
done

checks_done manual && [ "$passed" -gt 3 ]

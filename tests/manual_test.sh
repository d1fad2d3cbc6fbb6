#!/bin/bash
# The manual pages render without a warning, and varnok-render's names every option that its
# --help prints, as an entry of its own.
set -u
render=$1
pages=$2
passed=0
failed=0
check() {
    local what=$1
    shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $what"; fi
}

for page in "$pages"/*.1; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    check "$(basename "$page") renders without a warning: $warnings" test -z "$warnings"
done
text=$(MANWIDTH=200 man -l "$pages/varnok-render.1" 2>/dev/null)
for option in $("$render" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    check "varnok-render.1 has an entry for $option" grep -qE -- "^ +(-[a-z], )?$option( |\$)" <<<"$text"
done

echo "manual: $passed passed, $failed failed"
[ "$failed" = 0 ] && [ "$passed" -gt 3 ]

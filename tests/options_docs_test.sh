#!/bin/bash
# The manual pages render without a warning and varnok-render's has an entry for every option
# --help prints; bash completes each of them, and list values (spaced style names however typed).
# usage: options_docs_test.sh VARNOK_RENDER MAN_DIR BASH_COMPLETION
set -u
render=$1 pages=$2
source "$3"
PATH=$(dirname "$(realpath "$render")"):$PATH
. "$(dirname "$0")/check.sh"
options=$("$render" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)

for page in "$pages"/*.1; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    check "$(basename "$page") renders without a warning: $warnings" test -z "$warnings"
done
text=$(MANWIDTH=200 man -l "$pages/varnok-render.1" 2>/dev/null)
for option in $options; do
    check "varnok-render.1 has an entry for $option" grep -qE -- "^ +(-[a-z], )?$option( |\$)" <<<"$text"
done
[ "$passed" -gt 3 ] || check "the manual pages were found" false

# offers EXPECTED WORD...: completing the last of the words after varnok-render offers the
# lines of EXPECTED.
offers() {
    COMP_WORDS=(varnok-render "${@:2}")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _varnok_render varnok-render "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    test "$(printf '%s\n' "${COMPREPLY[@]}")" = "$1"
}
check "registered" test "$(complete -p varnok-render)" = "complete -F _varnok_render varnok-render"
check "--sty" offers --style --sty
check "--fade" offers $'--fade-in\n--fade-out' --fade
check "--style abs" offers $'Absolute Sine\nAbsolute Square' --style abs
check "--style \"pink" offers "Pink Synth" --style '"pink'
check "--style White\\ N" offers "White Noise" --style 'White\ N'
check "--style=tri" offers Triangle --style = tri
check "--bits" offers $'8\n16' --bits ""
check "--rate 2" offers 22050 --rate 2
check "--frequency" offers "" --frequency ""
offers "" --
missing=$(comm -23 <(echo "$options") <(printf '%s\n' "${COMPREPLY[@]}" | sort))
check "offers every option of --help (missing: $missing)" test -z "$missing"

checks_done options_docs

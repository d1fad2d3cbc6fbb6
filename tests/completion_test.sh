#!/bin/bash
# bash completes every option that varnok-render's --help prints, and the values of those that
# take one from a list, style names with a space among them however they are typed.
set -u
source "$1"
render=$2
PATH=$(dirname "$(realpath "$render")"):$PATH
. "$(dirname "$0")/check.sh"

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
missing=$(comm -23 <("$render" --help | grep -o -- '--[a-z][a-z-]*' | sort -u) \
    <(printf '%s\n' "${COMPREPLY[@]}" | sort))
check "offers every option of --help (missing: $missing)" test -z "$missing"

checks_done completion

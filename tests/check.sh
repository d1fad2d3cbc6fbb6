# Counting checks for the shell tests: source it, call `check DESCRIPTION COMMAND...` (the
# command must succeed), and end with `checks_done NAME`, which reports and gives the status.
passed=0 failed=0
check() {
    if "${@:2}"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi
}
checks_done() {
    echo "$1: $passed passed, $failed failed"
    [ "$failed" = 0 ]
}

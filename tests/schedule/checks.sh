# shellcheck shell=bash
# Shared by the wallpaper tests: check WHAT EXPECTED GOT counts a failure and
# says where (the table row and step under way); contents prints a file, or
# (none), without its last line ends (read by bash itself: no cat to start).

failures=0
row=""
step=""

check() {
    if [[ $2 != "$3" ]]; then
        printf 'FAIL %s%s: %s\n  expected: %q\n  got:      %q\n' "${row:+$row, }" "$step" "$1" "$2" "$3"
        failures=$((failures + 1))
    fi
}

contents() {
    if [[ -f $1 ]]; then printf '%s' "$(<"$1")"; else printf '(none)'; fi
}

# The last line of a test: its verdict and status.
finish() {
    if ((failures > 0)); then
        echo "$failures checks failed"
        exit 1
    fi
    echo "all checks passed"
}

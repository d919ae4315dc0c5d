#!/usr/bin/env bash
# The window program's command line in a terminal with no display at all:
# help and version print to standard output and exit 0, Qt's own options are
# let through, and a wrong option or value is refused in one line with 2.
#
# Usage: terminal-e2e.sh /path/to/dtmf
set -uo pipefail

DTMF=$1
OUT=$(mktemp -d /tmp/dtmf-terminal.XXXXXX)
trap 'rm -rf "$OUT"' EXIT
failures=0

# check STATUS STDOUT-PATTERN STDERR-LINES ARGS...: runs dtmf with ARGS where
# no window could open, for 5 s at most, and compares its exit status, its
# output (a line matching an extended regular expression; nothing at all for
# an empty pattern) and the number of lines on standard error.
check() {
    local want_status=$1 want_out=$2 want_err_lines=$3 status err_lines
    shift 3
    env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb timeout 5 "$DTMF" "$@" \
        >"$OUT/out" 2>"$OUT/err"
    status=$?
    err_lines=$(wc -l <"$OUT/err")
    local out_ok=yes
    if [ -z "$want_out" ]; then
        [ -s "$OUT/out" ] && out_ok=no
    elif ! grep -Eq "$want_out" "$OUT/out"; then
        out_ok=no
    fi
    if [ "$status" != "$want_status" ] || [ $out_ok = no ] || [ "$err_lines" != "$want_err_lines" ]; then
        echo "terminal: FAIL: dtmf $* gave status $status (wanted $want_status), output:" >&2
        sed 's/^/  out: /' "$OUT/out" >&2
        sed 's/^/  err: /' "$OUT/err" >&2
        failures=$((failures + 1))
    fi
}

check 0 '^Usage: .*dtmf \[options\]$' 0 --help
check 0 '^  --detector <name> ' 0 -h
check 0 '^Usage: ' 0 --help -platform offscreen -style=fusion
check 0 '^dtmf \(DTMF\) [0-9]+\.[0-9]+$' 0 --version
check 0 '^dtmf \(DTMF\) ' 0 -V
check 2 '' 1 --bogus
check 2 '' 1 -x
check 2 '' 1 --detector=loud
check 2 '' 1 --detector
check 2 '' 1 stray-argument

[ "$failures" = 0 ] || exit 1
echo "terminal: all checks passed"

#!/bin/bash
# No display at all: the program says so in one line and exits with a failure status of its own,
# not by a signal, and without a sanitizer report.
exe=$1
source "$(dirname "$0")/env_common.sh"
need timeout

errfile=$workdir/no_display.err
timeout 60 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$exe" > /dev/null 2> "$errfile"
status=$?
[ "$status" -ne 124 ] || fail "still running after 60 s with no display"
no_sanitizer_report "no display"
[ "$status" -ne 0 ] || fail "exit status 0 with no display"
[ "$status" -lt 128 ] || fail "ended by signal $((status - 128))"
lines=$(wc -l < "$errfile")
[ "$lines" -eq 1 ] || fail "$lines lines on stderr, expected one"
grep -q '^tessel: cannot open a window' "$errfile" || fail "the line does not start 'tessel: cannot open a window'"
echo "exit status $status; stderr: $(cat "$errfile")"
echo "PASSED"

#!/usr/bin/env bash
# No display at all: the program says so in one line and exits with a failure status of its own,
# not by a signal (nor a sanitizer report).
err=$(mktemp)
trap 'rm -f "$err"' EXIT
timeout 60 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$1" >/dev/null 2>"$err"
status=$?
echo "exit status $status; stderr: $(cat "$err")"
[ "$status" -ne 0 ] && [ "$status" -lt 124 ] || { echo "FAIL: wanted a failure status of its own"; exit 1; }
[ "$(wc -l <"$err")" -eq 1 ] && grep -q '^tessel: cannot open a window' "$err" ||
  { echo "FAIL: wanted one line 'tessel: cannot open a window …'"; exit 1; }

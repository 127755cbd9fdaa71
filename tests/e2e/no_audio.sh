#!/usr/bin/env bash
# No audio device: the window still opens and answers a click (the column marker moves over か),
# stderr says once that the kana will be silent, and the close button ends the program cleanly.
# shellcheck source=lib.sh disable=SC2119  # start_tessel takes environment settings, not ours
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
start_x
start_tessel SDL_AUDIODRIVER=no-such-driver
click "$cell6_XY"
sleep 0.5
shot after
column=$(column_marker_centre after)
between 386 "$column" 390 || fail "the column marker did not move over か (centre x=$column)"
click "$Command1_XY"
wait_exit 10
[ "$EXIT_STATUS" -eq 0 ] || fail "exit status $EXIT_STATUS after the close button"
log "stderr: $(cat "$WORK/tessel.log")"
[ "$(grep -ci audio "$WORK/tessel.log")" -eq 1 ] || fail "not exactly one line about audio on stderr"
grep -q '^tessel: no audio output' "$WORK/tessel.log" || fail "the line does not start 'tessel: no audio output'"

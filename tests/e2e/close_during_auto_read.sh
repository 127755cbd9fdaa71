#!/usr/bin/env bash
# The close button in the middle of an auto-read recital ends the program at once, with status 0.
# shellcheck source=lib.sh disable=SC2119  # start_tessel takes environment settings, not ours
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
start_x
start_tessel

click "$AUTO_READ_XY"
sleep 1.5
# The first tick (at 1 s) has sounded, so the recital really is running when Close comes.
"$AUDIO_MATCH" --silent "$AUDIO" >/dev/null && fail "no sound 1.5 s after starting auto-read"

pointer_to "$CLOSE_XY"
sleep 10 &  # the longest this test waits for the program to go
limit=$!
E2E_PIDS+=("$limit")
before_click=$EPOCHREALTIME
xdotool click --delay 0 1
clicked=$EPOCHREALTIME
wait -n -p ended "$TESSEL_PID" "$limit"
status=$?
exited=$EPOCHREALTIME
[ "$ended" = "$TESSEL_PID" ] || fail "the program was still running 10 s after the click on Close"
pid=$TESSEL_PID
TESSEL_PID=""

took=$(awk -v a="$clicked" -v b="$exited" 'BEGIN { printf "%.3f", b - a }')
whole=$(awk -v a="$before_click" -v b="$exited" 'BEGIN { printf "%.3f", b - a }')
log "program $pid exited with status $status ${took} s after the click (${whole} s including xdotool)"
[ "$status" -eq 0 ] || fail "exit status $status, wanted 0"
between 0 "$took" 0.5 || fail "the program took ${took} s to end after the click, wanted at most 0.5 s"

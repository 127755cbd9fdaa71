#!/usr/bin/env bash
# The close button while the program is busy ends it at once with status 0: once during an
# auto-read recital, once while a recording is still playing (the audio written shows it was cut
# off mid-way). Run on the sanitized build, any report fails it too.
# shellcheck source=lib.sh disable=SC2119  # start_tessel takes environment settings, not ours
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
start_x

# close_now LIMIT: presses Close and expects exit status 0 within LIMIT seconds of the click.
close_now() {
  click "$Command1_XY"
  local clicked=$EPOCHREALTIME
  wait_exit 10
  local took
  took=$(seconds_since "$clicked")
  log "exit status $EXIT_STATUS ${took} s after the click"
  [ "$EXIT_STATUS" -eq 0 ] || fail "exit status $EXIT_STATUS, wanted 0"
  between 0 "$took" "$1" || fail "the program took ${took} s to end, wanted at most $1 s"
}

start_tessel
click "$Command3_XY"
found=$(wait_audio 3 101) || fail "auto-read did not speak あ within 3 s: $found"
close_now 1.0

start_tessel
click "$cell6_XY"
close_now 1.0
# Close came while か was playing: something was heard, and not the whole of it.
"$AUDIO_MATCH" --silent "$AUDIO" >/dev/null && fail "nothing was playing when Close came"
"$AUDIO_MATCH" "$AUDIO" 106 >/dev/null && fail "106 played whole although Close came first"
exit 0

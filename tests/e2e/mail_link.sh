#!/usr/bin/env bash
# The credit line hands exactly "mailto:tessel@example.org" to the desktop's opener (the first
# xdg-open on PATH), once. With no opener at all a click shows nothing and the program carries on.
# shellcheck source=lib.sh disable=SC2119  # start_tessel takes environment settings, not ours
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
start_x

# A stand-in opener that only records how it was called, one line per call.
calls=$WORK/xdg-open.calls
mkdir -p "$WORK/bin" "$WORK/empty"
cat >"$WORK/bin/xdg-open" <<SCRIPT
#!/bin/sh
{ printf '%s' "\$#"; for a in "\$@"; do printf ' [%s]' "\$a"; done; echo; } >>"$calls"
SCRIPT
chmod +x "$WORK/bin/xdg-open"
: >"$calls"

start_tessel PATH="$WORK/bin"
click "$Label1_XY"
for ((i = 0; i < 50; i++)); do
  [ -s "$calls" ] && break
  sleep 0.1
done
sleep 1  # room for a second, unwanted call
log "opener called: $(cat "$calls")"
[ "$(cat "$calls")" = "1 [mailto:tessel@example.org]" ] ||
  fail "the opener got $(wc -l <"$calls") call(s): '$(cat "$calls")', wanted one with 'mailto:tessel@example.org'"

# No opener anywhere on PATH: no window may appear, and the program must still answer.
stop_tessel
start_tessel PATH="$WORK/empty"
windows=$(xwininfo -root -children | grep -c '^ *0x')
click "$Label1_XY"
sleep 2
[ "$(xwininfo -root -children | grep -c '^ *0x')" -eq "$windows" ] ||
  fail "a window appeared after clicking the credit line with no opener"
click "$cell6_XY"
found=$(wait_audio 5 106) || fail "no sound from か after the failed mail link: $found"

#!/usr/bin/env bash
# The credit line: dark red at rest, blue under the pointer, dark red again over the bare window;
# a click hands exactly "mailto:tessel@example.org" to the desktop's opener (the first xdg-open on
# PATH), once. With no opener at all a click shows nothing and the program carries on.
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

# Text pixels of the credit line in one colour (48 is loose enough for anti-aliased edges to
# drop out and the glyphs' cores to stay in).
credit_pixels() { color_box "$1" 548 342 65 31 "$2" "$3" "$4" 48 | cut -d' ' -f1; }

start_tessel PATH="$WORK/bin"

shot rest
red=$(credit_pixels rest 128 0 0)
[ "$red" -ge 30 ] || fail "credit line not dark red at start ($red dark red pixels)"
pointer_to "$CREDIT_XY"
sleep 0.3
shot hover
blue=$(credit_pixels hover 0 0 255)
red=$(credit_pixels hover 128 0 0)
log "under the pointer: $blue blue and $red dark red text pixels"
if [ "$blue" -lt 30 ] || [ "$red" -ne 0 ]; then fail "credit line not blue under the pointer"; fi
pointer_to "$BARE_XY"
sleep 0.3
shot bare
if [ "$(credit_pixels bare 128 0 0)" -lt 30 ] || [ "$(credit_pixels bare 0 0 255)" -ne 0 ]; then
  fail "credit line not dark red again after the pointer moved over the bare window"
fi

# About hides the line and shows it again; the pointer leaves the button for the shots, so only
# the line can differ.
click "$ABOUT_XY"
pointer_to "$AWAY_XY"
sleep 0.3
shot hidden
[ "$(credit_pixels hidden 128 0 0)" -eq 0 ] || fail "credit line still shown after About"
click "$ABOUT_XY"
pointer_to "$AWAY_XY"
sleep 0.3
shot shown
[ "$(credit_pixels shown 128 0 0)" -ge 30 ] || fail "credit line not shown again after a second About"

click "$CREDIT_XY"
for ((i = 0; i < 50; i++)); do
  [ -s "$calls" ] && break
  sleep 0.1
done
sleep 1  # room for a second, unwanted call
log "opener called: $(cat "$calls")"
[ "$(cat "$calls")" = "1 [mailto:tessel@example.org]" ] ||
  fail "the opener got $(wc -l <"$calls") call(s): '$(cat "$calls")', wanted one with 'mailto:tessel@example.org'"

# No opener anywhere on PATH: nothing may appear, and the program must still work.
stop_tessel
start_tessel PATH="$WORK/empty"
windows=$(window_count)
visible=$(xdotool search --onlyvisible --name . 2>/dev/null | wc -l)
click "$CREDIT_XY"
sleep 2
shot no_opener
now_windows=$(window_count)
now_visible=$(xdotool search --onlyvisible --name . 2>/dev/null | wc -l)
log "windows: $windows before, $now_windows after; named and visible: $visible before, $now_visible after"
if [ "$now_windows" -ne "$windows" ] || [ "$now_visible" -ne "$visible" ]; then
  fail "a window appeared after clicking the credit line with no opener"
fi
kill -0 "$TESSEL_PID" 2>/dev/null || fail "the program ended after clicking the credit line with no opener"
click "388 58"
found=$(wait_audio 5 106) || fail "no sound from か after the failed mail link: $found"
log "still answering: $found"

#!/usr/bin/env bash
# The window as a screen reader meets it over AT-SPI, on a private session bus with its own
# accessibility bus (at-spi2-core's launcher): a frame named with the caption; every kana a
# button named after its kana and reading, in chart order; nothing on it without a name; Tab and
# an arrow announce the kana they reach; and the credit line a link whose action hands exactly one
# mailto: to the desktop's opener, as a click does. Skipped only where a tool is missing.
# shellcheck source=lib.sh disable=SC2119  # start_tessel takes environment settings, not ours
python=/usr/bin/python3 # Debian's own, the one python3-pyatspi is for
launcher=/usr/libexec/at-spi-bus-launcher
if [ -z "${TESSEL_PRIVATE_BUS:-}" ]; then
  for tool in dbus-run-session dbus-send "$launcher"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed" >&2 && exit 77; }
  done
  "$python" -c 'import pyatspi' 2>/dev/null || { echo "SKIP: no python3-pyatspi" >&2 && exit 77; }
  TESSEL_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi

source "$(dirname "$0")/lib.sh"
e2e_init "$@"
start_x

"$launcher" --launch-immediately >"$WORK/a11y-bus.log" 2>&1 &
E2E_PIDS+=($!)
for ((i = 0; i < 100; i++)); do
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true' && break
  sleep 0.1
done
# What a desktop does when the user turns its screen reader on.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
  org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled variant:boolean:true \
  >/dev/null || fail "no accessibility bus: $(cat "$WORK/a11y-bus.log")"

# The desktop's opener, recording how it was called, one line per call.
calls=$WORK/xdg-open.calls
mkdir -p "$WORK/bin"
cat >"$WORK/bin/xdg-open" <<SCRIPT
#!/bin/sh
{ printf '%s' "\$#"; for a in "\$@"; do printf ' [%s]' "\$a"; done; echo; } >>"$calls"
SCRIPT
chmod +x "$WORK/bin/xdg-open"
: >"$calls"

"$AUDIO_MATCH" --names >"$WORK/names" || fail "audio_match gave no names"
start_tessel PATH="$WORK/bin" DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"
"$python" "$(dirname "$0")/screen_reader.py" "$WINDOW_NAME" "$WORK/names" "$WIN" ||
  fail "the screen reader's view is wrong (above)"

for ((i = 0; i < 50; i++)); do
  [ -s "$calls" ] && break
  sleep 0.1
done
sleep 1 # room for a second, unwanted call
log "opener called: $(cat "$calls")"
[ "$(cat "$calls")" = "1 [mailto:tessel@example.org]" ] ||
  fail "the link's action reached the opener $(wc -l <"$calls") time(s): '$(cat "$calls")'"

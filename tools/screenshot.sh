#!/usr/bin/env bash
# Takes a picture of Tessel's window as it opens, on a private virtual X server, so the picture
# is the same on every machine: no desktop theme, no window frame, the pointer off the window.
#
#   tools/screenshot.sh [OUT.png] [EXECUTABLE]
#
# OUT.png defaults to docs/screenshot.png, EXECUTABLE to build/tessel (both from the repository
# root). QT_SCALE_FACTOR=2 in the environment gives the 200 % picture; DESKTOP_FONT_PT=12 gives a
# desktop whose font is 12 pt (set the way a KDE desktop sets it, which Qt reads by itself);
# KEYS="Tab Tab Tab Down" types those keys (xdotool's names) into the window first.
# Needs Xvfb, xdotool and ImageMagick (tools/setup.sh installs them).
set -euo pipefail
export LC_ALL=C.UTF-8

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs/screenshot.png}
exe=${2:-$root/build/tessel}
title="Morlen日语五十音"

for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || {
    echo "screenshot: $tool is not installed (see tools/setup.sh)" >&2
    exit 1
  }
done
[ -x "$exe" ] || {
  echo "screenshot: no executable at $exe (build first)" >&2
  exit 1
}

tmp=$(mktemp -d)
xvfb="" app=""
cleanup() {
  local status=$?
  set +e
  # The program leaves SIGTERM to its default action: it ends at once.
  if [ -n "$app" ]; then kill -TERM "$app" && wait "$app"; fi 2>/dev/null
  if [ -n "$xvfb" ]; then kill -TERM "$xvfb" && wait "$xvfb"; fi 2>/dev/null
  rm -rf "$tmp"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# Xvfb picks a free display itself and writes its number once it accepts clients.
# Room for the window at up to 300 % (QT_SCALE_FACTOR=3 gives 1896 x 1470).
Xvfb -displayfd 5 -screen 0 2000x1600x24 -nolisten tcp 5>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb=$!
for _ in $(seq 200); do
  [ -s "$tmp/display" ] && break
  sleep 0.05
done
[ -s "$tmp/display" ] || {
  echo "screenshot: Xvfb did not start: $(cat "$tmp/xvfb.log")" >&2
  exit 1
}
DISPLAY=":$(head -n1 "$tmp/display")"
export DISPLAY

if [ -n "${DESKTOP_FONT_PT:-}" ]; then
  printf '[General]\nfont=DejaVu Sans,%s,-1,5,50,0,0,0,0,0\n' "$DESKTOP_FONT_PT" >"$tmp/kdeglobals"
  export XDG_CURRENT_DESKTOP=KDE KDE_SESSION_VERSION=5 XDG_CONFIG_HOME=$tmp
fi

# Silent: the picture needs no sound device.
QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy "$exe" >"$tmp/tessel.log" 2>&1 &
app=$!
win=""
for _ in $(seq 300); do
  win=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n1) && [ -n "$win" ] && break
  kill -0 "$app" 2>/dev/null || {
    echo "screenshot: the program ended at start-up: $(cat "$tmp/tessel.log")" >&2
    exit 1
  }
  sleep 0.1
done
[ -n "$win" ] || {
  echo "screenshot: no window named $title within 30 s" >&2
  exit 1
}
xdotool mousemove 1000 750  # off the window: no hover colours
if [ -n "${KEYS:-}" ]; then
  xdotool windowfocus --sync "$win"
  # shellcheck disable=SC2086  # one key name a word
  xdotool key --delay 50 $KEYS
fi

# Painting finishes a little after the window maps: wait for two identical frames in a row.
frame() { import -window "$win" "$tmp/$1.png" && convert "$tmp/$1.png" rgb:- | md5sum; }
previous=$(frame a)
for _ in $(seq 50); do
  sleep 0.2
  current=$(frame b)
  [ "$current" = "$previous" ] && break
  previous=$current
done
[ "$current" = "$previous" ] || echo "screenshot: the window never settled; saving the last frame" >&2

mkdir -p "$(dirname "$out")"
convert "$tmp/b.png" -strip "$out"
echo "screenshot: $(identify -format '%wx%h' "$out") saved to $out"

#!/usr/bin/env bash
# Tessel against a bare Qt window: start-up, memory, click-to-sound, idle. Prints Markdown that
# can be pasted into bench/RESULTS.md or the README as it is.
#
#   bash bench/run.sh BUILD_DIR        (`cmake --build BUILD_DIR --target bench` runs it)
#
# Starts its own Xvfb and ends it, by process id, on the way out. There is no sound card on the
# build machines, so SDL's dummy driver stands in for one (SDL_AUDIODRIVER=dummy) for start-up and
# memory; the sound figures come from private PipeWire and PulseAudio servers with a null sink,
# which tessel_sound_servers starts and stops itself.
# Exits non-zero only when a measurement could not be made; a missed goal is reported, not fatal.
set -euo pipefail
export LC_ALL=C.UTF-8

BUILD=${1:?usage: run.sh BUILD_DIR}
BUILD=$(cd "$BUILD" && pwd)
SOURCE=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export SDL_AUDIODRIVER=dummy

for tool in Xvfb xdotool /usr/bin/python3; do
  command -v "$tool" >/dev/null || {
    echo "run.sh: $tool is not installed (bash tools/setup.sh --tests installs it)" >&2
    exit 1
  }
done

# Qt wants a private runtime directory and warns on every start without one.
RUNTIME=$(mktemp -d)
export XDG_RUNTIME_DIR=$RUNTIME

XVFB_PID=""
cleanup() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  rm -rf "$RUNTIME"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# A private X server; -displayfd lets it pick a free display number and tell us.
DISPLAY_FILE=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$DISPLAY_FILE" 2>/dev/null &
XVFB_PID=$!
for _ in $(seq 100); do
  [ -s "$DISPLAY_FILE" ] && break
  sleep 0.05
done
[ -s "$DISPLAY_FILE" ] || {
  echo "run.sh: Xvfb did not start" >&2
  exit 1
}
export DISPLAY=":$(head -n1 "$DISPLAY_FILE")"
rm -f "$DISPLAY_FILE"

echo "## Tessel against a bare Qt window ($(date -u '+%Y-%m-%d %H:%M UTC'))"
echo
echo "Machine: $(nproc) CPUs, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)," \
  "$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) memory," \
  "kernel $(uname -r); load average (1/5/15 min) at the start: $(cut -d' ' -f1-3 /proc/loadavg)."
echo "Display: Xvfb $DISPLAY (1024x768x24), no window manager. Audio: SDL_AUDIODRIVER=dummy" \
  "(no sound card here)."
echo

"$BUILD/bench/tessel_startup" --runs 15 "$BUILD/bench/tessel_bare_window" \
  "$BUILD/bench/tessel_first_frame"

/usr/bin/python3 "$SOURCE/bench/idle_memory.py" "$BUILD/tessel" "$BUILD/bench/tessel_bare_window"

# Click-to-sound and idle cost on real sound servers, each started privately with a null sink.
env -u DISPLAY "$BUILD/bench/tessel_sound_servers"

echo "Load average (1/5/15 min) at the end: $(cut -d' ' -f1-3 /proc/loadavg)."

# Shared by the end-to-end tests: a private X server, the real executable on it with its audio
# going to a file, pointer clicks through xdotool, pixel checks on screenshots of the window.
#
# A test script sources this file and calls e2e_init with its three arguments:
#   TESSEL       the built executable (the sanitized copy, for the fault tests)
#   AUDIO_MATCH  the audio_match tool: finds recordings in the disk-audio file, and tells where
#                the controls are (--layout), so no position is written down twice
#   WORK         a directory for this test's artefacts; emptied first, left behind for inspection
# Exit status: 0 pass, 1 fail, 77 skipped (no Xvfb, xdotool or ImageMagick).
# shellcheck shell=bash disable=SC2034  # the constants are for the scripts that source this file

set -uo pipefail
# A decimal point for the clock arithmetic, and UTF-8 for the window name.
export LC_ALL=C.UTF-8

readonly AWAY_XY="900 700"  # off the window, on the root window

TESSEL_PID=""
XVFB_PID=""
WIN=""
E2E_PIDS=()  # whatever else a test starts, ended with the program and the X server

log() { printf '[%6.2f] %s\n' "$(elapsed)" "$*"; }
fail() {
  printf '[%6.2f] FAIL: %s\n' "$(elapsed)" "$*" >&2
  [ -s "${WORK:-/nonexistent}/tessel.log" ] && sed 's/^/  tessel: /' "$WORK/tessel.log" >&2
  exit 1
}

# Seconds since the test started, and since a given $EPOCHREALTIME.
elapsed() { awk -v a="$E2E_T0" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }'; }
seconds_since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f", b - a }'; }
# True when $1 <= $2 <= $3, as decimals; anything not a number (such as "none") is out of range.
between() {
  awk -v lo="$1" -v x="$2" -v hi="$3" \
    'BEGIN { exit !(x ~ /^-?[0-9]+(\.[0-9]*)?$/ && lo + 0 <= x + 0 && x + 0 <= hi + 0) }'
}

e2e_init() {
  E2E_T0=$EPOCHREALTIME
  [ $# -eq 3 ] || {
    echo "usage: $0 TESSEL AUDIO_MATCH WORKDIR" >&2
    exit 2
  }
  TESSEL=$1 AUDIO_MATCH=$2 WORK=$3
  local tool
  for tool in Xvfb xdotool xwininfo import convert; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed" >&2 && exit 77; }
  done
  [ -x "$TESSEL" ] || fail "no executable at $TESSEL"
  [ -x "$AUDIO_MATCH" ] || fail "no audio_match at $AUDIO_MATCH"
  BYTES_PER_SECOND=$("$AUDIO_MATCH" --info | awk '/^bytes_per_second/ { print $2 }')
  # Command1_XY, Label1_XY, cell6_XY … and the window's title, from the layout table.
  eval "$("$AUDIO_MATCH" --layout | awk '$1 != "title" { printf "%s_XY=\"%s %s\"\n", $1, $2, $3 }')"
  WINDOW_NAME=$("$AUDIO_MATCH" --layout | sed -n 's/^title //p')
  rm -rf "$WORK"
  mkdir -p "$WORK" || fail "cannot create $WORK"
  AUDIO=$WORK/audio.raw
  trap e2e_cleanup EXIT
  trap 'exit 1' INT TERM HUP
}

# Ends what this test started, by process id, whatever way the script is leaving.
e2e_cleanup() {
  local status=$? pid
  trap - EXIT
  stop_tessel
  for pid in "${E2E_PIDS[@]}"; do kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  [ -n "$XVFB_PID" ] && kill -TERM "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  [ "$status" -eq 0 ] && log "PASS"
  [ "$status" -ne 0 ] && [ "$status" -ne 77 ] && log "artefacts kept in $WORK"
  exit "$status"
}

# A private X server on a display number it picks itself (-displayfd), so parallel runs and any
# other X server on the machine never collide.
start_x() {
  local number=$WORK/display i
  : >"$number"
  Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$number" >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  for ((i = 0; i < 200; i++)); do
    [ -s "$number" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
    sleep 0.05
  done
  [ -s "$number" ] || fail "Xvfb gave no display number within 10 s"
  export DISPLAY=":$(head -n1 "$number")"
  unset WAYLAND_DISPLAY
}

# start_tessel [NAME=VALUE...]: the program with its sound going to $AUDIO and its output to
# $WORK/tessel.log, extra environment as given; waits until the window is mapped and painted
# (the column marker drawn over cell 1).
start_tessel() {
  rm -f "$AUDIO"
  : >"$WORK/tessel.log"
  (
    # No desktop environment, so the mail link goes to the first xdg-open on PATH and nowhere else.
    unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID \
      BROWSER DEFAULT_BROWSER DBUS_SESSION_BUS_ADDRESS
    export QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$AUDIO"
    local setting
    for setting in "$@"; do export "${setting?}"; done
    exec "$TESSEL"
  ) >>"$WORK/tessel.log" 2>&1 &
  TESSEL_PID=$!
  local started=$EPOCHREALTIME i centre=none
  WIN=""
  for ((i = 0; i < 300; i++)); do
    WIN=$(xdotool search --onlyvisible --name "^$WINDOW_NAME\$" 2>/dev/null | head -n1)
    [ -n "$WIN" ] && break
    kill -0 "$TESSEL_PID" 2>/dev/null || fail "the program ended at start-up"
    sleep 0.1
  done
  [ -n "$WIN" ] || fail "no window named $WINDOW_NAME within 30 s"
  pointer_to "$AWAY_XY"
  for ((i = 0; i < 100; i++)); do
    shot ready
    centre=$(column_marker_centre ready)
    between 425 "$centre" 429 && break
    sleep 0.1
  done
  between 425 "$centre" 429 || fail "the window never showed the column marker on cell 1 (x=$centre)"
  log "window $WIN painted $(seconds_since "$started") s after start (pid $TESSEL_PID)"
}

# SIGKILL: a test that cares about a clean exit uses the close button and wait_exit.
stop_tessel() {
  [ -n "$TESSEL_PID" ] && kill -KILL "$TESSEL_PID" 2>/dev/null && wait "$TESSEL_PID" 2>/dev/null
  TESSEL_PID=""
}

# wait_exit SECONDS: waits for the program to end by itself; sets EXIT_STATUS, or fails.
wait_exit() {
  timeout "$1" tail --pid="$TESSEL_PID" -s 0.02 -f /dev/null || fail "the program was still running $1 s later"
  wait "$TESSEL_PID"
  EXIT_STATUS=$?
  TESSEL_PID=""
  ! grep -qE 'Sanitizer|runtime error:' "$WORK/tessel.log" || fail "a sanitizer reported the program"
}

# pointer_to "X Y": window coordinates; AWAY_XY lies outside the window on the root.
# No --sync: this xdotool waits some 15 s for a motion that never comes when the pointer is
# already there. xdotool syncs with the server as it closes, so the move is done on return.
pointer_to() {
  # shellcheck disable=SC2086  # "X Y" splits into two arguments on purpose
  xdotool mousemove --window "$WIN" $1 >/dev/null 2>&1
}
# click "X Y": press and release there. --delay 0: this xdotool otherwise sleeps 100 ms after
# the release before it returns, which would blur every "after the click" timing.
click() {
  pointer_to "$1"
  xdotool click --delay 0 1
}

# shot NAME: the window alone, as $WORK/NAME.png.
shot() { import -window "$WIN" "$WORK/$1.png" 2>>"$WORK/import.log"; }

# The column marker is the only pure blue (within 40 a channel) in the strip above the chart:
# its centre x, rounded, or "none". Over cell 1 it is at 6205/15 + 13.5 ≈ 427.
column_marker_centre() {
  convert "$WORK/$1.png" -crop 462x18+0+20 -depth 8 txt:- 2>/dev/null |
    awk -F'[,:() ]+' 'NR > 1 && $3 <= 40 && $4 <= 40 && $5 >= 215 {
        if (!n++) lo = hi = $1; if ($1 < lo) lo = $1; if ($1 > hi) hi = $1 }
      END { if (n >= 100) printf "%d\n", (lo + hi) / 2 + 0.5; else print "none" }'
}

audio_bytes() { stat -c %s "$AUDIO" 2>/dev/null || echo 0; }

# wait_audio SECONDS KEY...: polls until every KEY has played whole; prints audio_match's lines.
wait_audio() {
  local limit=$1 out deadline
  shift
  deadline=$(awk -v t="$EPOCHREALTIME" -v d="$limit" 'BEGIN { printf "%.3f", t + d }')
  while :; do
    out=$("$AUDIO_MATCH" "$AUDIO" "$@" 2>&1) && {
      printf '%s\n' "$out"
      return 0
    }
    between 0 "$EPOCHREALTIME" "$deadline" || {
      printf '%s\n' "$out"
      return 1
    }
    sleep 0.1
  done
}

# first_offset KEY LINES: the byte offset of KEY's first whole occurrence in audio_match output.
first_offset() { printf '%s\n' "$2" | awk -v k="$1" '$1 == k && $2 != "none" { print $2; exit }'; }

# clip_bytes KEY: the length of KEY's recording as the device plays it.
clip_bytes() { "$AUDIO_MATCH" --info | awk -v k="$1" '$1 == k { print $2 }'; }

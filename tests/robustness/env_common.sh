# Shared by the env_*.sh tests: start the sanitized program on a private X server, find its
# window, click it, look at it, and judge what it wrote on stderr.
#
# Usage in a test: source this file with the program's path as $1 already set in `exe`.

set -u

skip() {
  echo "SKIPPED: $*"
  exit 77
}

fail() {
  echo "FAILED: $*"
  if [ -n "${errfile:-}" ] && [ -s "$errfile" ]; then
    echo "--- stderr of the program ---"
    cat "$errfile"
  fi
  exit 1
}

need() {
  local tool
  for tool in "$@"; do
    command -v "$tool" > /dev/null 2>&1 || skip "$tool is not installed"
  done
}

# Runs the calling script again inside its own X server, once.
under_xvfb() {
  need xvfb-run Xvfb xauth xdotool
  if [ -z "${TESSEL_TEST_XVFB:-}" ]; then
    TESSEL_TEST_XVFB=1 exec xvfb-run -a -s "-screen 0 800x600x24 -nolisten tcp" \
      bash "$0" "$@"
  fi
  # The X server just started; nothing else of the caller's desktop may take part.
  unset WAYLAND_DISPLAY
  export QT_QPA_PLATFORM=xcb
}

workdir=$(mktemp -d)
errfile=""
pid=""
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2> /dev/null; then kill -KILL "$pid" 2> /dev/null; fi
  rm -rf "$workdir"
}
trap cleanup EXIT

# start NAME [VAR=value ...]: runs the program in the background with the given environment,
# stderr to $workdir/NAME.err; sets pid and errfile.
start() {
  local name=$1
  shift
  errfile=$workdir/$name.err
  env "$@" "$exe" 2> "$errfile" &
  pid=$!
}

# Waits for the program's window and sets wid; checks its title.
find_window() {
  wid=$(timeout 60 xdotool search --sync --onlyvisible --name 'Morlen' 2> /dev/null | head -n 1)
  [ -n "$wid" ] || fail "no window appeared within 60 s"
  local title
  title=$(xdotool getwindowname "$wid")
  [ "$title" = "Morlen日语五十音" ] || fail "window title is '$title'"
  # Let the first paint finish before anything is clicked or photographed.
  sleep 0.3
}

click() {
  xdotool mousemove --window "$wid" "$1" "$2" click 1
}

# finish SECONDS: waits for the program to end by itself; sets status.
finish() {
  local waited=0
  while kill -0 "$pid" 2> /dev/null; do
    [ "$waited" -lt $(($1 * 10)) ] || fail "still running $1 s after the close button"
    sleep 0.1
    waited=$((waited + 1))
  done
  wait "$pid"
  status=$?
  pid=""
}

# The sanitizers write to stderr; any report at all fails the test.
no_sanitizer_report() {
  if grep -q -E 'Sanitizer|runtime error:' "$errfile"; then
    fail "$1: the program was reported by the sanitizers"
  fi
}

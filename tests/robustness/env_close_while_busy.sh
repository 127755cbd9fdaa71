#!/bin/bash
# The close button pressed while the program is busy: once during auto-read, once while a
# recording is still playing. Either way the program ends at once with status 0 and without a
# sanitizer report. SDL's disk driver stands in for the sound card, so the output proves that
# sound was actually going out when the button was pressed.
exe=$1
source "$(dirname "$0")/env_common.sh"
under_xvfb "$@"

need /usr/bin/python3

# Bytes of silence at the end of the audio output: few means a recording was cut off mid-way.
trailing_silence() {
  /usr/bin/python3 -c 'import sys; d = open(sys.argv[1], "rb").read(); print(len(d) - len(d.rstrip(b"\0")))' "$1"
}

# close_during NAME ACTION...: starts the program, runs the actions, presses Close.
close_during() {
  local name=$1
  shift
  local audio=$workdir/$name.raw
  start "$name" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio"
  find_window
  "$@"
  click 570 466  # Close
  finish 30
  no_sanitizer_report "$name"
  [ "$status" -eq 0 ] || fail "$name: exit status $status"
  # Silence is all zero bytes in the signed 16-bit output: anything else is a recording.
  local sound
  sound=$(tr -d '\000' < "$audio" | head -c 1 | wc -c)
  [ "$sound" -eq 1 ] || fail "$name: no sound was playing when Close was pressed"
  silence=$(trailing_silence "$audio")
  echo "$name: exit status 0, $(wc -c < "$audio") bytes of audio written, the last $silence silent"
}

auto_read() {
  click 570 396  # auto-read on; the first tick comes a second later
  sleep 1.1  # Close lands while the first recording (a third of a second) plays, unless slow
}
playing() {
  click 388 58  # か; Close follows at once, long before the recording ends
}

close_during auto_read auto_read
close_during playback playing
# 22050 Hz mono 16-bit: 1 KiB is about 23 ms, a few device periods.
[ "$silence" -lt 1024 ] || fail "playback: the recording had ended before Close ($silence silent bytes at the end)"
echo "PASSED"

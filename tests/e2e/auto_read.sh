#!/usr/bin/env bash
# The auto-read button: one second after it is pressed "101" plays, one second later "102", each
# whole, with the markers stepping down column 1; a second press stops the recital and changes
# the caption back.
# shellcheck source=lib.sh disable=SC2119  # start_tessel takes environment settings, not ours
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
start_x
start_tessel

# The button's face, pointer over it, for telling the two captions apart.
button_face() { convert "$WORK/$1.png" -crop 77x23+532+385 +repage rgb:- | md5sum | cut -d' ' -f1; }

click "$AUTO_READ_XY"
started=$EPOCHREALTIME  # with xdotool returned, the press is in; xdotool may be slow to return
at_start=$(audio_bytes)
sleep 0.3
shot reading

found=$(wait_audio 6 101 102) || fail "101 and 102 did not both play whole within 6 s: $found"
click "$AUTO_READ_XY"
stopping=$EPOCHREALTIME
at_stop=$(audio_bytes)
log "stopped $(seconds_since "$started") s after starting; heard: ${found//$'\n'/, }"
sleep 0.3
shot stopped

o101=$(first_offset 101 "$found")
o102=$(first_offset 102 "$found")
# The disk driver paces itself with sleeps, not a sound card's clock: its audio runs a few per
# cent fast or slow against real time, depending on the machine's load. Measured over this run,
# it turns audio offsets into real seconds.
rate=$(awk -v b0="$at_start" -v b1="$at_stop" -v t0="$started" -v t1="$stopping" \
  -v r="$BYTES_PER_SECOND" 'BEGIN { printf "%.4f", (b1 - b0) / r / (t1 - t0) }')
first=$(awk -v o="$o101" -v s="$at_start" -v r="$BYTES_PER_SECOND" -v k="$rate" \
  'BEGIN { printf "%.3f", (o - s) / r / k }')
audio_step=$(awk -v a="$o101" -v b="$o102" -v r="$BYTES_PER_SECOND" 'BEGIN { printf "%.3f", (b - a) / r }')
step=$(awk -v s="$audio_step" -v k="$rate" 'BEGIN { printf "%.3f", s / k }')
log "audio clock ${rate}× real time; 101 ${first} s after the press, 102 ${step} s after 101" \
  "(${audio_step} s of audio)"
between 0.7 "$first" 1.5 || fail "the first tick came ${first} s after the press, wanted about 1 s"
between 0.9 "$step" 1.1 || fail "102 started ${step} s after 101, wanted 1.0±0.1 s"
"$AUDIO_MATCH" --silent --to "$o101" "$AUDIO" || fail "sound before the first tick"

# Pointer and focus are the same in both shots; only the caption can differ.
[ "$(button_face reading)" != "$(button_face stopped)" ] ||
  fail "the auto-read button looks the same running and stopped: its caption did not change"

# Stopping leaves the markers on the cell read last: cell 2 (row 2), or cell 3 when the stop
# lost a race with the third tick. Both are in column 1, so the column marker never moved.
last_row=2
"$AUDIO_MATCH" "$AUDIO" 103 >/dev/null && last_row=3
between 425 "$(column_marker_centre stopped)" 429 || fail "column marker left column 1"
top=$(row_marker_dress_top stopped)
want=$((60 + 40 * (last_row - 1)))
between $((want - 2)) "$top" $((want + 2)) ||
  fail "row marker's dress top at y $top, wanted $want for row $last_row"

# Stopped means no more ticks: once a clip started before the stop has ended (all are under
# 0.8 s), a stretch longer than a tick period stays silent.
quiet_from=$((at_stop + BYTES_PER_SECOND * 8 / 10))
quiet_to=$((at_stop + BYTES_PER_SECOND * 25 / 10))
for ((i = 0; i < 100; i++)); do
  [ "$(audio_bytes)" -ge "$quiet_to" ] && break
  sleep 0.1
done
"$AUDIO_MATCH" --silent --from "$quiet_from" --to "$quiet_to" "$AUDIO" ||
  fail "sound 0.8 to 2.5 s after the stop: auto-read kept running"

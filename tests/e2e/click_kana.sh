#!/usr/bin/env bash
# Clicking か (cell 6): the column marker moves over it within a second, and its recording "106"
# plays whole, at once, and nothing else sounds before or after it.
# shellcheck source=lib.sh disable=SC2119  # start_tessel takes environment settings, not ours
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
start_x
start_tessel
"$AUDIO_MATCH" --silent "$AUDIO" || fail "sound before any click"

click "$cell6_XY"
clicked=$EPOCHREALTIME  # the X server has the release once xdotool returns
at_click=$(audio_bytes)
column=none n=0
while between 0 "$(seconds_since "$clicked")" 1.0; do  # screenshots begun within the second
  shot "after$((++n))"
done
for ((k = 1; k <= n; k++)); do
  column=$(column_marker_centre "after$k")
  between 386 "$column" 390 && break  # か's left is 5620 twips, the triangle 27 px wide: 388
done
between 386 "$column" 390 || fail "column marker not over か in $n screenshots within 1 s (x=$column)"

found=$(wait_audio 5 106) || fail "106 never played whole: $found"
[ "$(printf '%s\n' "$found" | wc -l)" -eq 1 ] || fail "106 played more than once: $found"
offset=$(first_offset 106 "$found")
delay=$(awk -v o="$offset" -v c="$at_click" -v r="$BYTES_PER_SECOND" 'BEGIN { print (o - c) / r }')
log "column marker over か in screenshot $k of $n; 106 starts ${delay} s of audio after the click"
between -0.3 "$delay" 0.5 || fail "106 started ${delay} s after the click"
"$AUDIO_MATCH" --silent --to "$offset" "$AUDIO" || fail "sound before 106"
"$AUDIO_MATCH" --silent --from "$((offset + $(clip_bytes 106)))" "$AUDIO" || fail "sound after 106 ended"

# Quick clicks, as a learner comparing kana makes them: か and あ alternating ten times a second,
# then a run along the か column twenty a second. Only a second click on the same place within
# the double-click interval is a double click, so every click starts its recording, in order,
# and the last is heard whole.
quick=(6 1 6 1 6 1 6 1 6 1 7 8 9 10 11 12)
script=() expected=""
for ((i = 0; i < ${#quick[@]}; i++)); do
  xy=cell${quick[i]}_XY
  # shellcheck disable=SC2206  # "X Y" splits into two arguments on purpose
  script+=(mousemove --window "$WIN" ${!xy} click --delay 0 1 sleep "$([ "$i" -lt 10 ] && echo 0.1 || echo 0.05)")
  expected+="$((100 + quick[i])) "
done
sleep 1  # past the double-click interval since the click above
from=$(audio_bytes)
xdotool "${script[@]}"
found=$(wait_audio 5 112) || fail "the last click's 112 never played whole: $found"
started=$("$AUDIO_MATCH" --start 10 --from "$from" "$AUDIO" 106 101 107 108 109 110 111 112 |
  awk '$2 != "none"' | sort -k2 -n | awk '{ printf "%s ", $1 }')
log "${#quick[@]} quick clicks started: $started"
[ "$started" = "$expected" ] || fail "quick clicks started $started; expected $expected"

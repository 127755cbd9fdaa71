#!/usr/bin/env bash
# Clicking か (cell 6, column 2, row 1): within a second both markers point at it, and its
# recording "106" plays whole, at once, and nothing else sounds.
# shellcheck source=lib.sh disable=SC2119  # start_tessel takes environment settings, not ours
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
start_x
start_tessel

# At load both markers stand on cell 1 and no sound has played.
shot before
between 425 "$(column_marker_centre before)" 429 || fail "column marker not over cell 1 at load"
top=$(row_marker_dress_top before)
between 58 "$top" 62 || fail "row marker not beside row 1 at load (dress top at y $top)"
"$AUDIO_MATCH" --silent "$AUDIO" || fail "sound before any click"

# Both clocks start when xdotool returns: by then the X server has the release, and on a busy
# machine xdotool itself can take most of a second to get there.
click "$cell6_XY"
clicked=$EPOCHREALTIME
at_click=$(audio_bytes)

# The markers must move within 1 s. Screenshots first, as fast as they come, every one begun
# within that second; the (slower) pixel reading afterwards.
shots=()
while between 0 "$(seconds_since "$clicked")" 1.0; do
  shots+=("$(seconds_since "$clicked")")
  shot "after${#shots[@]}"
done
column=none
for ((k = 1; k <= ${#shots[@]}; k++)); do
  column=$(column_marker_centre "after$k")
  between 386 "$column" 390 && break
done
# か's left is 5620 twips = 374.7 px; the triangle is 27 px wide, so its centre is near 388.
between 386 "$column" 390 ||
  fail "column marker not over か in ${#shots[@]} screenshots within 1 s (last centre x=$column, wanted 388±2)"
log "column marker centre x=$column in screenshot $k of ${#shots[@]}, begun ${shots[k - 1]} s after the click"
cp "$WORK/after$k.png" "$WORK/after.png"
start_blue=$(color_box after 415 20 27 18 0 0 255 40 | cut -d' ' -f1)
[ "$start_blue" -eq 0 ] || fail "$start_blue blue pixels left over cell 1 where the marker started"
# Row 1 both before and after: the row marker stays at top 370 twips ≈ 25 px.
top=$(row_marker_dress_top after)
between 58 "$top" 62 || fail "row marker left row 1 (dress top at y $top, wanted 60±2)"

found=$(wait_audio 5 106) || fail "106 never played whole: $found"
log "audio: $found"
[ "$(printf '%s\n' "$found" | wc -l)" -eq 1 ] || fail "106 played more than once: $found"
offset=$(first_offset 106 "$found")
# The request starts the sound at once: the clip begins where the output was at the click.
delay=$(awk -v o="$offset" -v c="$at_click" -v r="$BYTES_PER_SECOND" 'BEGIN { print (o - c) / r }')
log "106 starts ${delay} s of audio after the click"
between -0.3 "$delay" 0.5 || fail "106 started ${delay} s after the click"
# And nothing else: silence before it and after it.
end=$((offset + $(clip_bytes 106)))
"$AUDIO_MATCH" --silent --to "$offset" "$AUDIO" || fail "sound before 106"
"$AUDIO_MATCH" --silent --from "$end" "$AUDIO" || fail "sound after 106 ended"

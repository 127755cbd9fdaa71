#!/bin/bash
# No audio device: the window still opens and the chart still answers a click (the column marker
# moves over か), stderr says once that the kana will be silent, and the close button ends the
# program cleanly.
exe=$1
source "$(dirname "$0")/env_common.sh"
under_xvfb "$@"
need import
[ -x /usr/bin/python3 ] && /usr/bin/python3 -c 'import PIL' 2> /dev/null || skip "python3-pil is missing"

# Blue pixels of the column-marker triangle in the strip above the first row, split at x = 411:
# prints "left right", the counts over か (column 2) and over あ (column 1).
marker_counts() {
  /usr/bin/python3 - "$1" << 'PY'
import sys
from PIL import Image
img = Image.open(sys.argv[1]).convert("RGB")
left = right = 0
for y in range(22, 38):
    for x in range(370, 452):
        r, g, b = img.getpixel((x, y))
        if b > 150 and r < 90 and g < 90:
            if x < 411:
                left += 1
            else:
                right += 1
print(left, right)
PY
}

start no_audio SDL_AUDIODRIVER=no-such-driver
find_window
import -window "$wid" "$workdir/before.png" || fail "no screenshot"
click 388 58  # か
sleep 0.5
kill -0 "$pid" 2> /dev/null || fail "the program ended after a click on a kana"
import -window "$wid" "$workdir/after.png" || fail "no screenshot"
read -r before_left before_right <<< "$(marker_counts "$workdir/before.png")"
read -r after_left after_right <<< "$(marker_counts "$workdir/after.png")"
echo "marker pixels over か/あ: before $before_left/$before_right, after $after_left/$after_right"
[ "$before_left" -eq 0 ] && [ "$before_right" -gt 50 ] || fail "the marker is not over あ at start"
[ "$after_left" -gt 50 ] && [ "$after_right" -eq 0 ] || fail "the marker did not move to か"

click 570 466  # Close
finish 30
no_sanitizer_report "no audio"
[ "$status" -eq 0 ] || fail "exit status $status after the close button"
lines=$(grep -c -i 'audio' "$errfile")
[ "$lines" -eq 1 ] || fail "$lines lines about audio on stderr, expected one"
grep -q '^tessel: no audio output' "$errfile" || fail "the audio line does not start 'tessel: no audio output'"
echo "stderr of the program:"
cat "$errfile"
echo "PASSED"

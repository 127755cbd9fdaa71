#!/usr/bin/env bash
# Regenerates assets/sounds/101.wav … 148.wav, the kana pronunciations built into Tessel,
# then measures every file and fails if one breaks the rules the player relies on.
#
# Needs the Debian packages espeak-ng and sox (apt-get install espeak-ng sox); it installs
# nothing itself. Besides those it uses only coreutils, od, awk and python3. The format the files
# are written in is the program's own, printed by its tessel_facts tool: build that first
# (cmake --build build --target tessel_facts; TESSEL_FACTS names another copy).
#
# Usage: tools/make_sounds.sh            synthesise all 48 files, then measure and check them
#        tools/make_sounds.sh --measure  only measure and check the files already present
#
# The measurement table goes to stdout as Markdown (assets/sounds/SOURCES.md carries a copy);
# problems go to stderr and make the exit status 1. Output is byte-for-byte reproducible for
# a given espeak-ng/sox version: espeak-ng has no random element and sox runs without dither.
set -euo pipefail

# Voice settings. ja+klatt: the Japanese voice through espeak-ng's Klatt formant synthesiser,
# whose vowels have a smooth spectrum that falls off above 4 kHz, where the default
# synthesiser adds a fixed band near 7–8 kHz; the female variants carry an echo that
# smears a lone syllable. 120 words a minute stretches each vowel to about 0.3 s, long enough
# to hear its quality; slower would drag out the consonants too. Pitch 50 is the voice's own.
readonly VOICE="ja+klatt"
readonly SPEED=120
readonly PITCH=50

facts=${TESSEL_FACTS:-$(dirname "${BASH_SOURCE[0]}")/../build/tessel_facts}
[ -x "$facts" ] || { echo "make_sounds: no $facts; build it first" >&2; exit 1; }
read -r RATE CHANNELS BITS < <("$facts" | /usr/bin/python3 -c \
  'import json, sys; f = json.load(sys.stdin)["recording_format"]; print(f["rate"], f["channels"], f["bits"])')
[ "$CHANNELS" = 1 ] && [ "$BITS" = 16 ] || {
  echo "make_sounds: writes 16-bit mono only; the program asks for $CHANNELS channels of $BITS bits" >&2
  exit 1
}
readonly RATE
readonly PEAK_DB=-1        # every file is normalised so its loudest sample sits here
readonly THRESHOLD=328     # 1 % of full scale: quieter samples count as silence
readonly PRE_MS=2          # kept before the first audible sample, so the onset is not cut
readonly POST_MS=15        # kept after the last audible sample, for the decay
readonly FADE_IN_MS=2
readonly FADE_OUT_MS=40    # espeak-ng stops a vowel abruptly; this avoids a click at the end
readonly MAX_DURATION_MS=900
readonly MAX_LEAD_MS=10
readonly MAX_TRAIL_MS=50

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out_dir="$here/../assets/sounds"

# position | kana | text given to espeak-ng | phonemes espeak-ng must read from it
# A text of "=NN" copies position NN's file instead of synthesising.
# ゐ and ゑ sound like い and え in modern Japanese. を is read "wo" (spelled うぉ, since を
# alone gives the particle "o", identical to お) so that the chart's own を is distinguishable.
# ん alone gives a 0.11 s nasal whatever the speed; doubled it lasts twice as long and is
# still a single unbroken hum, easier to catch on its own.
readonly TABLE="
01 あ あ 'a
02 い い 'i
03 う う 'u
04 え え 'e
05 お お 'o
06 か か k'a
07 き き k'i
08 く く k'u
09 け け k'e
10 こ こ k'o
11 さ さ s'a
12 し し s\\'i
13 す す s'u
14 せ せ s'e
15 そ そ s'o
16 た た t'a
17 ち ち t_s\\'i
18 つ つ t_s'u
19 て て t'e
20 と と t'o
21 な な n'a
22 に に n'i
23 ぬ ぬ n'u
24 ね ね n'e
25 の の n'o
26 は は h'a
27 ひ ひ C'i
28 ふ ふ p\\'u
29 へ へ h'e
30 ほ ほ h'o
31 ま ま m'a
32 み み m'i
33 む む m'u
34 め め m'e
35 も も m'o
36 や や j'a
37 ゆ ゆ j'u
38 よ よ j'o
39 ら ら r\`'a
40 り り r\`'i
41 る る r\`'u
42 れ れ r\`'e
43 ろ ろ r\`'o
44 わ わ w'a
45 ゐ =02 -
46 ゑ =04 -
47 を うぉ w'o
48 ん んん N\\N\\
"

die() { echo "make_sounds: $*" >&2; exit 1; }

# Prints "samples rate peak first last clipped" for a WAV file, or "BADHEADER why".
# first/last are 1-based indices of the first and last sample with |v| >= THRESHOLD (0 if none).
# Only the plain 44-byte PCM layout is accepted: the program embeds the files as they are.
measure() {
    local f="$1" size
    size=$(stat -c %s "$f")
    {
        od -An -v -tu1 -N44 "$f" | tr -s ' \n' '  '
        echo
        od -An -v -td2 -j44 "$f"
    } | awk -v size="$size" -v thr="$THRESHOLD" -v want_rate="$RATE" '
        function u16(i) { return h[i] + 256 * h[i + 1] }
        function u32(i) { return u16(i) + 65536 * u16(i + 2) }
        function tag(i) { return sprintf("%c%c%c%c", h[i], h[i + 1], h[i + 2], h[i + 3]) }
        NR == 1 {
            nh = split($0, h0, " ")
            for (i = 1; i <= nh; i++) h[i - 1] = h0[i] + 0
            why = ""
            if (nh < 44) why = "shorter than a header"
            else if (tag(0) != "RIFF" || tag(8) != "WAVE" || tag(12) != "fmt " || tag(36) != "data") why = "not a plain RIFF/WAVE/fmt/data layout"
            else if (u32(16) != 16) why = "fmt chunk is not 16 bytes"
            else if (u16(20) != 1) why = "format tag is not 1 (PCM)"
            else if (u16(22) != 1) why = "not mono"
            else if (u32(24) != want_rate) why = "sample rate " u32(24)
            else if (u32(28) != 2 * want_rate || u16(32) != 2 || u16(34) != 16) why = "not 16-bit"
            else if (u32(4) != size - 8) why = "RIFF size does not match file size"
            else if (u32(40) != size - 44) why = "data size does not match file size"
            # Keep reading to the end rather than exit: an early exit would kill od with
            # SIGPIPE, and pipefail would turn that into a failure of the whole script.
            if (why != "") { print "BADHEADER " why; bad = 1 }
            rate = u32(24)
            next
        }
        bad { next }
        {
            for (i = 1; i <= NF; i++) {
                n++; v = $i + 0; a = v < 0 ? -v : v
                if (a > peak) peak = a
                if (a >= thr) { if (!first) first = n; last = n }
                if (v == 32767 || v == -32768) clipped++
            }
        }
        END { if (!bad) printf "%d %d %d %d %d %d\n", n, rate, peak, first + 0, last + 0, clipped + 0 }
    '
}

synthesise() {
    local text="$1" expect="$2" dest="$3" tmp="$4"
    local got m n rate peak first last clipped start end pre post

    got=$(espeak-ng -v "$VOICE" -b 1 -q -x "$text")
    [ "$got" = "$expect" ] || die "espeak-ng reads '$text' as '$got', expected '$expect'"

    espeak-ng -v "$VOICE" -b 1 -s "$SPEED" -p "$PITCH" -w "$tmp/raw.wav" "$text"
    # Normalise first, so that the 1 % threshold used for trimming is the one the final
    # file is judged by.
    sox -D "$tmp/raw.wav" -r "$RATE" -c 1 -b 16 -e signed-integer "$tmp/norm.wav" gain -n "$PEAK_DB"
    m=$(measure "$tmp/norm.wav")
    [[ "$m" != BADHEADER* ]] || die "sox wrote an unexpected header for '$text': ${m#BADHEADER }"
    read -r n rate peak first last clipped <<<"$m"
    [ "$first" -gt 0 ] || die "espeak-ng produced silence for '$text'"

    pre=$((RATE * PRE_MS / 1000))
    post=$((RATE * POST_MS / 1000))
    start=$((first - 1 - pre)); [ "$start" -ge 0 ] || start=0
    end=$((last + post)); [ "$end" -le "$n" ] || end=$n
    sox -D "$tmp/norm.wav" "$dest" \
        trim "${start}s" "$((end - start))s" \
        fade h "$((RATE * FADE_IN_MS / 1000))s" -0 "$((RATE * FADE_OUT_MS / 1000))s" \
        gain -n "$PEAK_DB"
}

generate() {
    command -v espeak-ng >/dev/null || die "espeak-ng not found (Debian package espeak-ng)"
    command -v sox >/dev/null || die "sox not found (Debian package sox)"
    # A private voice directory would change the output; always use the packaged data.
    unset ESPEAK_DATA_PATH
    mkdir -p "$out_dir"
    local pos kana text expect
    # Global, not local: the EXIT trap runs after this function has returned.
    work_dir=$(mktemp -d)
    trap 'rm -rf "$work_dir"' EXIT
    while read -r pos kana text expect; do
        [ -n "$pos" ] || continue
        if [[ "$text" == =* ]]; then continue; fi
        synthesise "$text" "$expect" "$out_dir/1$pos.wav" "$work_dir"
    done <<<"$TABLE"
    # Copies are made after all originals exist.
    while read -r pos kana text expect; do
        [ -n "$pos" ] || continue
        if [[ "$text" == =* ]]; then cp "$out_dir/1${text#=}.wav" "$out_dir/1$pos.wav"; fi
    done <<<"$TABLE"
}

# Measures every file, prints the table, and checks the limits and the copy/distinctness rules.
check() {
    local failures=0 pos kana text expect f m n rate peak first last clipped
    local dur_ms lead_ms trail_ms ms peaks="" nn_ms=0 max_ms=0 min_ms=999999 distinct
    fail() { echo "make_sounds: $*" >&2; failures=$((failures + 1)); }

    echo "| key | kana | espeak-ng input | phonemes | duration (s) | peak | leading silence (ms) | trailing silence (ms) |"
    echo "|---|---|---|---|---|---|---|---|"
    while read -r pos kana text expect; do
        [ -n "$pos" ] || continue
        f="$out_dir/1$pos.wav"
        [ -f "$f" ] || { fail "1$pos.wav is missing"; continue; }
        m=$(measure "$f")
        if [[ "$m" == BADHEADER* ]]; then fail "1$pos.wav: ${m#BADHEADER }"; continue; fi
        read -r n rate peak first last clipped <<<"$m"
        if [ "$first" -eq 0 ]; then fail "1$pos.wav is silent"; continue; fi
        dur_ms=$(awk -v n="$n" -v r="$rate" 'BEGIN { printf "%.1f", 1000 * n / r }')
        lead_ms=$(awk -v s="$((first - 1))" -v r="$rate" 'BEGIN { printf "%.1f", 1000 * s / r }')
        trail_ms=$(awk -v s="$((n - last))" -v r="$rate" 'BEGIN { printf "%.1f", 1000 * s / r }')
        # Double backticks: some phoneme spellings contain a backtick themselves.
        if [[ "$text" == =* ]]; then
            text="copy of 1${text#=}.wav"; expect="(same)"
        else
            expect="\`\` $expect \`\`"
        fi
        printf '| 1%s | %s | %s | %s | %.3f | %d | %s | %s |\n' "$pos" "$kana" "$text" "$expect" \
            "$(awk -v m="$dur_ms" 'BEGIN { print m / 1000 }')" "$peak" "$lead_ms" "$trail_ms"

        awk -v d="$dur_ms" -v m="$MAX_DURATION_MS" 'BEGIN { exit !(d < m) }' || fail "1$pos.wav lasts $dur_ms ms"
        awk -v d="$lead_ms" -v m="$MAX_LEAD_MS" 'BEGIN { exit !(d <= m) }' || fail "1$pos.wav: $lead_ms ms leading silence"
        awk -v d="$trail_ms" -v m="$MAX_TRAIL_MS" 'BEGIN { exit !(d < m) }' || fail "1$pos.wav: $trail_ms ms trailing silence"
        [ "$clipped" -eq 0 ] || fail "1$pos.wav has $clipped clipped samples"
        peaks="$peaks $peak"
        ms=${dur_ms%.*}
        [ "$ms" -le "$max_ms" ] || max_ms=$ms
        [ "$ms" -ge "$min_ms" ] || min_ms=$ms
        [ "$pos" != 48 ] || nn_ms=$ms
    done <<<"$TABLE"

    # Same loudness for every kana: all peaks within 1 % of the target.
    awk -v list="$peaks" -v db="$PEAK_DB" 'BEGIN {
        want = 32767 * 10 ^ (db / 20); n = split(list, p, " ")
        if (n != 48) exit 1
        for (i = 1; i <= n; i++) if (p[i] < 0.99 * want || p[i] > 1.01 * want) exit 1
    }' || fail "peaks are not all at $PEAK_DB dBFS:$peaks"
    # A sanity check on the recordings themselves: durations vary with the syllable, and
    # the lone nasal is the shortest sound of all.
    [ $((max_ms - min_ms)) -ge 50 ] || fail "durations barely differ ($min_ms–$max_ms ms)"
    [ "$nn_ms" -eq "$min_ms" ] || fail "ん ($nn_ms ms) is not the shortest sound ($min_ms ms)"

    cmp -s "$out_dir/145.wav" "$out_dir/102.wav" || fail "145.wav differs from 102.wav"
    cmp -s "$out_dir/146.wav" "$out_dir/104.wav" || fail "146.wav differs from 104.wav"
    distinct=$(cd "$out_dir" && md5sum ./1{01..48}.wav 2>/dev/null | awk '{ print $1 }' | sort -u | wc -l) || true
    [ "$distinct" -eq 46 ] || fail "$distinct distinct recordings instead of 46"

    if [ "$failures" -gt 0 ]; then
        echo "make_sounds: $failures problem(s)" >&2
        return 1
    fi
    echo "make_sounds: 48 files checked, $distinct distinct, durations $min_ms–$max_ms ms" >&2
}

case "${1:-}" in
    "") generate; check ;;
    --measure) check ;;
    *) die "unknown argument '$1' (use no argument, or --measure)" ;;
esac

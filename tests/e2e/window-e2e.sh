#!/usr/bin/env bash
# The window program as a user meets it: a real X server with a window
# manager, a private PulseAudio server with two null sinks, digits played into
# the default input and into a second device chosen in Settings, the digit
# line read back through the clipboard, the meter and scale checked on a
# screenshot, and a close through the window manager. Then the program again
# under --detector=strict: speech gives no digit, a keyed sequence every
# digit, each on the line no later than 80 ms after its tone began.
#
# Usage: window-e2e.sh /path/to/dtmf [screenshot.png]
set -uo pipefail

DTMF=$(readlink -f "$1")
SHOT_OUT=${2:-}
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=session.sh
source "$HERE/session.sh"
start_session xdotool xclip wmctrl xwininfo import convert sox paplay openbox espeak-ng

# --- test sounds ---------------------------------------------------------------------
# shellcheck source=../dtmf-tones.sh
source "$HERE/../dtmf-tones.sh"
FIRST="159#*0AD"
SECOND="2468BC37"
digits_wav "$WORK/first.wav" "$FIRST"
digits_wav "$WORK/second.wav" "$SECOND"
# A loud, long 5: each tone at 0.48 of full scale, peaks near -0.35 dBFS.
sox -n -r 48000 -c 1 -b 16 "$WORK/loud.wav" synth 10 sine 770 sine 1336 channels 1 vol 0.96

# --- the program --------------------------------------------------------------------------
"$DTMF" >"$WORK/dtmf.log" 2>&1 &
APP=$!

find_main() { xdotool search --onlyvisible --name '^ DTMF$' | head -n1 | grep .; }
wait_for 150 find_main || fail "the main window did not appear"
WIN=$(find_main)
log "main window $WIN"
# The recording stream is up once the server lists a source output.
wait_for 100 sh -c 'pactl list short source-outputs | grep -q .' || fail "dtmf is not recording"

paplay --device=line1 "$WORK/first.wav" || fail "paplay into line1"
expect_line "$FIRST"
log "read '$FIRST' from the digit line"

# --- meter and scale on a screenshot --------------------------------------------------------
read -r WX WY < <(origin "$WIN")
log "client area at $WX,$WY"
paplay --device=line1 "$WORK/loud.wav" &
PLAY=$!
PIDS+=("$PLAY")

pixel() { convert "$WORK/shot.png" -format "%[pixel:p{$(($1 + WX)),$(($2 + WY))}]" info:; }
# LED cell k (1..50) is a column of pixels at x = 11 + 3(k-1) + 1, rows 35..38.
cell() { pixel $((12 + 3 * ($1 - 1))) 37; }
is() { case "$2" in "$1" | "$1"a) return 0 ;; esac; return 1; }
check_shot() {
    import -window root "png:$WORK/shot.png" || return 1
    is "srgb(0,255,0)" "$(cell 1)" && is "srgb(0,255,0)" "$(cell 35)" &&
        is "srgb(255,255,0)" "$(cell 36)" && is "srgb(255,255,0)" "$(cell 44)" &&
        is "srgb(255,0,0)" "$(cell 45)" && is "srgb(255,0,0)" "$(cell 47)" || return 1
    local dead
    dead=$(cell 50)
    case "$dead" in srgb\(0,0,0\) | srgb\(255,0,0\)) return 1 ;; esac
    return 0
}
ok=0
sleep 0.3
for ((i = 0; i < 15; i++)); do
    if check_shot; then
        ok=1
        break
    fi
    sleep 0.2
done
[ $ok = 1 ] || fail "meter not lit as expected: cells 1,35,36,44,45,47,50 = $(cell 1) $(cell 35) $(cell 36) $(cell 44) $(cell 45) $(cell 47) $(cell 50)"
# Between two LEDs the window's black shows; the cells stand in rows 35 to 38 only.
is "srgb(0,0,0)" "$(pixel 13 37)" || fail "no gap between LED cells 1 and 2"
is "srgb(0,0,0)" "$(pixel 12 34)" || fail "LED cell 1 reaches above row 35"
is "srgb(0,0,0)" "$(pixel 12 39)" || fail "LED cell 1 reaches below row 38"
# Scale ticks one pixel right of cells 3, 12, 25, 35, 44 and 50, in rows 41 to 44.
for k in 3 12 25 35 44 50; do
    x=$((12 + 3 * (k - 1) + 1))
    is "srgb(0,174,0)" "$(pixel $x 41)" || fail "no scale tick at x=$x row 41"
    is "srgb(0,174,0)" "$(pixel $x 44)" || fail "no scale tick at x=$x row 44"
    is "srgb(0,0,0)" "$(pixel $((x + 1)) 42)" || fail "scale tick at x=$x is too wide"
done
if [ -n "$SHOT_OUT" ]; then
    convert "$WORK/shot.png" -crop "421x109+$((WX - 1))+$((WY - 21))" +repage \
        "$SHOT_OUT" 2>/dev/null || convert "$WORK/shot.png" "$SHOT_OUT"
fi
kill "$PLAY" 2>/dev/null
wait "$PLAY" 2>/dev/null
log "meter and scale where the design puts them"

# --- Settings: device 1 ----------------------------------------------------------------------
click "$WIN" 372 44
find_settings() { xdotool search --onlyvisible --name '^ Settings$' | head -n1 | grep .; }
wait_for 50 find_settings || fail "the settings window did not appear"
SET=$(find_settings)
choose_next_device "$SET"
# Both handles of the capture now record from LineTwo's monitor.
LINE2=$(pactl list short sources | awk '$2 == "line2.monitor" {print $1}')
on_line2() {
    local sources
    sources=$(pactl list short source-outputs | awk '{print $2}' | sort -u)
    [ "$sources" = "$LINE2" ]
}
wait_for 50 on_line2 || fail "capture did not move to device 1: $(pactl list short source-outputs)"
log "capture moved to device 1"
# Ok hides the window again.
click "$SET" 172 $((FIELD_Y + 40))
settings_hidden() { ! find_settings; }
wait_for 30 settings_hidden || fail "Ok did not hide the settings window"

paplay --device=line2 "$WORK/second.wav" || fail "paplay into line2"
expect_line "${FIRST}5$SECOND"
log "read '$SECOND' from device 1"

# --- close through the window manager ---------------------------------------------------------
close_main_window
log "closed with status 0"

# --- the strict receiver ---------------------------------------------------------------------------
KEYED="0123456789ABCD*#"
digits_wav "$WORK/keyed.wav" "$KEYED" 0.07 0.07
if ! espeak-ng -v en+m1 -s 160 -w "$WORK/speech-en.wav" "The north wind and the sun were \
disputing which was the stronger, when a traveller came along wrapped in a warm cloak. Please \
hold the line, your call is important to us. Press one for sales, two for support, or stay on \
the line." || ! espeak-ng -v de+f1 -s 165 -w "$WORK/speech-de.wav" "Einst stritten sich \
Nordwind und Sonne, wer von ihnen beiden wohl der Stärkere wäre, als ein Wanderer des Weges \
daherkam." || ! sox -D "$WORK/speech-en.wav" "$WORK/speech-de.wav" -r 48000 -c 1 -b 16 \
    "$WORK/speech.wav" norm -3; then
    fail "no speech from espeak-ng"
fi
log "speech: $(soxi -D "$WORK/speech.wav") s"

QT_LOGGING_RULES="dtmf.detector.debug=true" "$DTMF" --detector=strict >"$WORK/dtmf.log" 2>&1 &
APP=$!
wait_for 150 find_main || fail "the main window did not appear under --detector=strict"
WIN=$(find_main)
wait_for 100 sh -c 'pactl list short source-outputs | grep -q .' || fail "dtmf is not recording"
paplay --device=line1 "$WORK/speech.wav" || fail "paplay of the speech"
paplay --device=line1 "$WORK/keyed.wav" || fail "paplay of the keyed sequence"
# Any digit heard in the speech would stand before the sequence.
expect_line "$KEYED"
log "strict receiver: no digit from the speech, '$KEYED' from the keyed sequence"
# Each digit with the time from its tone's start to the line, in ms.
LATENCIES=$(sed -n 's/^dtmf.detector: . on the line \([0-9.]*\) ms after its tone began$/\1/p' \
    "$WORK/dtmf.log")
[ "$(echo "$LATENCIES" | grep -c .)" = "${#KEYED}" ] || fail "latencies logged: $LATENCIES"
SLOWEST=$(echo "$LATENCIES" | sort -g | tail -n1)
log "strict receiver: digits on the line $(echo "$LATENCIES" | sort -g | head -n1) to $SLOWEST ms after their tones began"
awk -v s="$SLOWEST" 'BEGIN { exit !(s <= 80) }' || fail "a digit reached the line $SLOWEST ms after its tone"
close_main_window
echo "e2e: all checks passed"

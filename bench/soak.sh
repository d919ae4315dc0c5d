#!/usr/bin/env bash
# Soak run of the window program on a loaded machine: random keypad symbols
# (100 ms tone, 100 ms silence) are played into the default input of the
# running program while two busy loops keep both cores busy. The digit line
# keeps only its last 48 characters, so the symbols go in chunks: after each
# chunk the line is read back through the clipboard and cleared.
#
# Prints the symbols sent, decoded and lost (and any extra ones), the audio
# the capture layer dropped (from its dtmf.audio log), and the program's
# resident memory at the start and the end.
#
# Usage: bench/soak.sh [path/to/dtmf] [symbols] [chunk]
#   defaults: build/dtmf, 1000 symbols, chunks of 40; SOAK_SEED sets the seed.
set -uo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
TESTS=$HERE/../tests
DTMF=$(readlink -f "${1:-$HERE/../build/dtmf}")
TOTAL=${2:-1000}
CHUNK=${3:-40}
RANDOM=${SOAK_SEED:-8}
# shellcheck source=../tests/e2e/session.sh
source "$TESTS/e2e/session.sh"
say() { echo "soak: $*"; }
[ -x "$DTMF" ] || fail "no program at $DTMF"
start_session openbox xdotool xclip xwininfo sox paplay

# --- one sound file per symbol: 100 ms of its two tones, 100 ms of silence ---
SYMBOLS="0123456789ABCD*#"
# shellcheck source=../tests/dtmf-tones.sh
source "$TESTS/dtmf-tones.sh"
declare -A FILE
for ((i = 0; i < ${#SYMBOLS}; i++)); do
    s=${SYMBOLS:i:1}
    FILE[$s]=$WORK/sym$i.wav
    digits_wav "${FILE[$s]}" "$s" 0.1 0.1 0
done
sox -n -r 48000 -c 1 -b 16 "$WORK/gap.wav" trim 0 0.3

# --- the program, recording, with its audio diagnostics on -------------------
QT_LOGGING_RULES="dtmf.audio.debug=true" "$DTMF" >"$WORK/dtmf.log" 2>&1 &
APP=$!
PIDS+=("$APP")
find_main() { xdotool search --onlyvisible --name '^ DTMF$' | head -n1 | grep .; }
for ((i = 0; i < 150; i++)); do find_main >/dev/null && break; sleep 0.1; done
WIN=$(find_main) || fail "the main window did not appear"
for ((i = 0; i < 100; i++)); do pactl list short source-outputs | grep -q . && break; sleep 0.1; done
rss() { awk '/^VmRSS/ {print $2 " kB"}' "/proc/$APP/status"; }
RSS_START=$(rss)

click() {
    local ox oy
    read -r ox oy < <(xwininfo -id "$WIN" |
        awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF} END {print x, y}')
    xdotool mousemove $((ox + $1)) $((oy + $2)) click 1
}
# The digit line as a person copies it; a marker stands for an empty line.
read_line() {
    printf '<empty>' | xclip -i -selection clipboard -loops 1 &
    sleep 0.1
    click 200 10
    xdotool key --clearmodifiers ctrl+a ctrl+c
    sleep 0.2
    xclip -o -selection clipboard 2>/dev/null | sed 's/^<empty>$//'
}
# Longest common subsequence of two short strings: the symbols that came
# through in order.
common() {
    awk -v a="$1" -v b="$2" 'BEGIN {
        n = length(a); m = length(b)
        for (j = 0; j <= m; j++) prev[j] = 0
        for (i = 1; i <= n; i++) {
            cur[0] = 0
            for (j = 1; j <= m; j++) {
                if (substr(a, i, 1) == substr(b, j, 1)) cur[j] = prev[j - 1] + 1
                else cur[j] = cur[j - 1] > prev[j] ? cur[j - 1] : prev[j]
            }
            for (j = 0; j <= m; j++) prev[j] = cur[j]
        }
        print prev[m]
    }'
}

# --- two busy loops, one per core ------------------------------------------
for _ in 1 2; do
    bash -c 'while :; do :; done' &
    PIDS+=($!)
done
say "playing $TOTAL symbols in chunks of $CHUNK under two busy loops"

SENT=0 DECODED=0 EXTRA=0 CHUNKS_WRONG=0
click 292 44 # Clear
while ((SENT < TOTAL)); do
    n=$((TOTAL - SENT < CHUNK ? TOTAL - SENT : CHUNK))
    want="" parts=("$WORK/gap.wav")
    for ((i = 0; i < n; i++)); do
        s=${SYMBOLS:RANDOM % 16:1}
        want+=$s
        parts+=("${FILE[$s]}")
    done
    parts+=("$WORK/gap.wav")
    sox "${parts[@]}" "$WORK/chunk.wav"
    paplay --device=line1 "$WORK/chunk.wav" || fail "paplay into line1"
    sleep 0.3
    got=$(read_line)
    both=$(common "$want" "$got")
    SENT=$((SENT + n))
    DECODED=$((DECODED + both))
    EXTRA=$((EXTRA + ${#got} - both))
    if [ "$got" != "$want" ]; then
        CHUNKS_WRONG=$((CHUNKS_WRONG + 1))
        say "chunk sent '$want', read '$got'"
    fi
    click 292 44 # Clear
done

RSS_END=$(rss)
kill -0 "$APP" 2>/dev/null || fail "dtmf ended during the run"
DROPPED=$(awk '/dtmf.audio: lost [0-9]+ bytes/ {sum += $3} END {print sum + 0}' "$WORK/dtmf.log")
DROP_LINES=$(grep -c 'dtmf.audio: lost' "$WORK/dtmf.log")
echo "symbols sent:     $SENT"
echo "symbols decoded:  $DECODED"
echo "symbols lost:     $((SENT - DECODED))"
echo "symbols extra:    $EXTRA"
echo "chunks not exact: $CHUNKS_WRONG"
echo "audio dropped:    $DROPPED bytes ($DROP_LINES losses logged)"
echo "resident memory:  $RSS_START at the start, $RSS_END at the end"

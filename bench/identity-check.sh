#!/usr/bin/env bash
# Checks that two builds of dtmf-decode print the same symbols and times,
# byte for byte, with both detectors: on keypad vectors (every symbol at
# several levels, lengths, twists and rates, with and without noise) and on
# an hour of speech with digits keyed over it. For a change that must not
# change what is decoded: build the revision before it and the one after.
#
# Usage: bench/identity-check.sh OLD-dtmf-decode NEW-dtmf-decode
#   MINUTES (default 60) sets the length of the speech with digits, JOBS (default
#   1) the jobs of each run.
# Needs: sox, espeak-ng.
set -euo pipefail

old=$1
new=$2
minutes=${MINUTES:-60}
for tool in "$old" "$new" sox espeak-ng; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SOX_OPTS=-V1
# shellcheck source=../tests/dtmf-tones.sh
source "$(dirname "$0")/../tests/dtmf-tones.sh"

echo "== making the vectors"
symbols="0123456789ABCD*#"
n=0
for volume in 0.9 0.5 0.1 0.01 0.002; do
    for tone in 0.03 0.045 0.07 0.1 0.5; do
        digits_wav "$work/v$n.wav" "$symbols" "$tone" 0.05 0.2 "$volume"
        n=$((n + 1))
    done
done
# Twist: the high tone louder, then the low one, by 2 to 12 dB.
for db in -12 -8 -4 -2 2 4 8 12; do
    parts=()
    for ((i = 0; i < ${#symbols}; i++)); do
        d=${symbols:i:1}
        # Each tone on a channel of its own, then the two mixed with their gains.
        sox -n -r 48000 -c 2 -p synth 0.08 sine "${LOW[$d]}" sine "${HIGH[$d]}" |
            sox - -c 1 -b 16 "$work/p$i.wav" \
                remix "1v0.3,2v$(awk -v d="$db" 'BEGIN { print 0.3 * 10 ^ (d / 20) }')" pad 0 0.07
        parts+=("$work/p$i.wav")
    done
    sox "${parts[@]}" "$work/v$n.wav"
    n=$((n + 1))
done
# Other rates and channel counts, and noise under the tones.
for format in "-r 8000" "-r 11025" "-r 44100" "-r 96000 -c 2"; do
    # shellcheck disable=SC2086 # format holds sox options
    sox "$work/v6.wav" $format "$work/v$n.wav"
    n=$((n + 1))
done
for snr in 20 10 3; do
    sox "$work/v7.wav" "$work/noise.wav" synth whitenoise vol "$(awk -v s="$snr" 'BEGIN { print 0.5 * 10 ^ (-s / 20) }')"
    sox -m "$work/v7.wav" "$work/noise.wav" "$work/v$n.wav"
    n=$((n + 1))
done

echo "== making $minutes minutes of speech with digits"
voices=(en en-us de fr es it)
: >"$work/text.txt"
for ((i = 0; i < 400; i++)); do
    echo "The number you have dialled, $((i * 7919 % 100000)), cannot be reached at $((i % 24)) hours. Please try again later or press $((i % 10)) for the operator." >>"$work/text.txt"
done
parts=()
for voice in "${voices[@]}"; do
    espeak-ng -v "$voice" -w "$work/s-$voice.wav" -f "$work/text.txt"
    sox -D "$work/s-$voice.wav" -r 48000 -c 1 -b 16 "$work/t-$voice.wav"
    parts+=("$work/t-$voice.wav")
done
sox "${parts[@]}" "$work/speech.wav" trim 0 $((minutes * 60))
length=$(soxi -D "$work/speech.wav")
# Digits every 1.7 s at -20 dBFS per tone, under the speech's level.
cycles=$(awk -v l="$length" 'BEGIN { print int(l / (16 * 1.7)) + 1 }')
digits_wav "$work/cycle.wav" "$symbols" 0.08 1.62 0 0.1
sox "$work/cycle.wav" "$work/keys.wav" repeat $((cycles - 1))
sox -m "$work/speech.wav" "$work/keys.wav" "$work/v$n.wav" trim 0 "$length"

echo "== decoding"
status=0
for detector in strict window; do
    for build in old new; do
        bin=$old
        [ "$build" = new ] && bin=$new
        # One job at a time (JOBS), so that a file may be decoded on two threads.
        "$bin" --detector=$detector --format=jsonl -j"${JOBS:-1}" "$work"/v*.wav >"$work/$build-$detector.jsonl" || true
    done
    count=$(wc -l <"$work/new-$detector.jsonl")
    if cmp -s "$work/old-$detector.jsonl" "$work/new-$detector.jsonl"; then
        echo "$detector: identical ($count lines over $((n + 1)) inputs)"
    else
        echo "$detector: DIFFERENT"
        diff "$work/old-$detector.jsonl" "$work/new-$detector.jsonl" | head -"${SHOW:-20}" || true
        status=1
    fi
done
exit $status

#!/usr/bin/env bash
# Decodes the same 50 one-minute 48 kHz WAVs of DTMF digits with
# dtmf-decode -j 1 and -j 2, best of a few runs each, checks that both print
# the same, and prints the ratio of their times (0.5 would be a perfect
# split over two cores).
#
# Usage: bench/jobs-ratio.sh [path/to/dtmf-decode] [files] [seconds per file]
set -euo pipefail

decoder=${1:-${BUILD_DIR:-build}/cli/dtmf-decode}
files=${2:-50}
seconds=${3:-60}
runs=${RUNS:-3}
detector=${DETECTOR:-strict}
for tool in "$decoder" sox; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One cycle: four symbols, 80 ms of tone and 60 ms of silence each, then a
# second of quiet noise; each file starts the cycle at another symbol.
declare -A low=([1]=697 [5]=770 [9]=852 ['#']=941)
declare -A high=([1]=1209 [5]=1336 [9]=1477 ['#']=1477)
parts=()
for s in 1 5 9 '#'; do
    sox -n -r 48000 -c 1 -b 16 "$work/part${#parts[@]}.wav" \
        synth 0.08 sine "${low[$s]}" synth 0.08 sine mix "${high[$s]}" vol 0.4 pad 0 0.06
    parts+=("$work/part${#parts[@]}.wav")
done
sox -n -r 48000 -c 1 -b 16 "$work/noise.wav" synth 1 whitenoise vol 0.02
sox "${parts[@]}" "$work/noise.wav" "$work/cycle.wav"
sox "$work/cycle.wav" "$work/minute.wav" repeat "$(awk -v s="$seconds" 'BEGIN { print int(s / 1.56) }')"
inputs=()
for ((i = 0; i < files; i++)); do
    sox "$work/minute.wav" "$work/in$i.wav" trim "$(awk -v i="$i" 'BEGIN { print (i % 4) * 0.14 }')"
    inputs+=("$work/in$i.wav")
done
total=$(for input in "${inputs[@]}"; do soxi -D "$input"; done | awk '{ s += $1 } END { print s }')
printf 'input: %d files, %s s in all, 48 kHz mono, detector %s\n' "$files" "$total" "$detector"

# shellcheck source=best-time.sh
source "$(dirname "$0")/best-time.sh"
jobs_time() { best_time "$runs" "$work/out$1" "$decoder" -d "$detector" -j "$1" "${inputs[@]}"; }

one=$(jobs_time 1)
two=$(jobs_time 2)
printf 'dtmf-decode -j 1: %s s\ndtmf-decode -j 2: %s s\n' "$one" "$two"
if ! cmp -s "$work/out1" "$work/out2"; then
    echo "-j 2 printed something else than -j 1" >&2
    exit 1
fi
printf 'symbols: %d\n' "$(sed 's/^[^:]*: //' "$work/out1" | tr -cd '159#' | wc -c)"
awk -v a="$two" -v b="$one" -v s="$total" 'BEGIN {
    printf "speed -j 1: %.0fx real time\n", s / b
    printf "ratio -j 2 / -j 1: %.2f\n", a / b }'

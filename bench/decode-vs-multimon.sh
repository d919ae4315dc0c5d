#!/usr/bin/env bash
# Decodes the same long mono WAVs of DTMF digits with dtmf-decode and with
# multimon-ng, best of a few runs each, checks that both found the digits, and
# prints the ratio of their times (below 1: dtmf-decode is faster), wall clock
# and CPU, for each length and rate: by default 200 s and 30 minutes, at 48 kHz and at the
# telephone's 8 kHz. On a machine whose speed drifts, the median of the
# ratios of runs made back to back (one of multimon-ng, then one of
# dtmf-decode) is the steadier figure.
#
# Usage: bench/decode-vs-multimon.sh [path/to/dtmf-decode] [seconds of audio...]
#   RATES (default "48000 8000") and RUNS (default 3) choose the rates and the
#   runs of which the best counts.
set -euo pipefail

decoder=${1:-${BUILD_DIR:-build}/cli/dtmf-decode}
shift || true
lengths=("$@")
[ ${#lengths[@]} -gt 0 ] || lengths=(200 1800)
runs=${RUNS:-3}
read -r -a rates <<<"${RATES:-48000 8000}"
for tool in "$decoder" sox multimon-ng; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One cycle: the sixteen symbols, 80 ms of tone and 60 ms of silence each.
symbols="0123456789ABCD*#"
# shellcheck source=../tests/dtmf-tones.sh
source "$(dirname "$0")/../tests/dtmf-tones.sh"
digits_wav "$work/cycle.wav" "$symbols" 0.08 0.06 0 0.4
cycle_length=$(soxi -D "$work/cycle.wav")

# shellcheck source=best-time.sh
source "$(dirname "$0")/best-time.sh"

status=0
summary=()
for seconds in "${lengths[@]}"; do
    cycles=$(awk -v t="$seconds" -v c="$cycle_length" \
        'BEGIN { n = int(t / c + 0.5); print n < 1 ? 1 : n }')
    for rate in "${rates[@]}"; do
        sox -D "$work/cycle.wav" -r "$rate" "$work/long.wav" repeat $((cycles - 1))
        expected=$((cycles * ${#symbols}))
        length=$(soxi -D "$work/long.wav")
        printf '== input: %s s of %d Hz mono, %d symbols\n' "$length" "$rate" "$expected"

        # The same length of silence: the analysis of all-zero blocks is skipped,
        # so this is the cost of reading, cutting into blocks and output.
        sox -D -n -r "$rate" -c 1 -b 16 "$work/silence.wav" trim 0 "$length"
        idle=$(best_time "$runs" "$work/out" "$decoder" --detector=window "$work/silence.wav")
        rm -f "$work/silence.wav"

        # Called without a subshell, so that BEST_CPU comes back.
        best_time "$runs" "$work/out" multimon-ng -q -t wav -a DTMF "$work/long.wav" >"$work/time"
        peer=$(cat "$work/time")
        peer_cpu=$BEST_CPU
        peer_found=$(grep -c '^DTMF: ' "$work/out" || true)
        printf 'multimon-ng: %s s (CPU %s s), %d symbols\n' "$peer" "$peer_cpu" "$peer_found"
        if [ "$peer_found" -lt $((expected * 95 / 100)) ]; then
            echo "multimon-ng found $peer_found of $expected symbols" >&2
            status=1
        fi
        for detector in window strict; do
            best_time "$runs" "$work/out" "$decoder" --detector=$detector "$work/long.wav" >"$work/time"
            ours=$(cat "$work/time")
            our_cpu=$BEST_CPU
            our_found=$(tr -d '\n' <"$work/out" | wc -c)
            printf 'dtmf-decode --detector=%s: %s s (CPU %s s), %d symbols (silence: %s s)\n' \
                "$detector" "$ours" "$our_cpu" "$our_found" "$idle"
            # dtmf-decode must find every digit.
            if [ "$our_found" -ne "$expected" ]; then
                echo "dtmf-decode --detector=$detector found $our_found of $expected symbols" >&2
                status=1
            fi
            ratio=$(awk -v a="$ours" -v b="$peer" -v c="$our_cpu" -v d="$peer_cpu" -v t="$length" \
                'BEGIN { printf "%.3f, CPU %.3f (dtmf-decode at %.0fx real time)", a / b, c / d, t / a }')
            pairs=()
            for ((r = 0; r < runs; r++)); do
                peer_once=$(wall_time "$work/out" multimon-ng -q -t wav -a DTMF "$work/long.wav")
                ours_once=$(wall_time "$work/out" "$decoder" --detector=$detector "$work/long.wav")
                pairs+=("$(awk -v a="$ours_once" -v b="$peer_once" 'BEGIN { printf "%.4f", a / b }')")
            done
            median=$(printf '%s\n' "${pairs[@]}" | sort -g |
                awk '{ v[NR] = $1 } END { printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
            printf 'ratio dtmf-decode --detector=%s / multimon-ng: %s; back to back: median %s\n' \
                "$detector" "$ratio" "$median"
            summary+=("$(printf '%6.0f s at %5d Hz, %-6s: %s; back to back: median %s' \
                "$length" "$rate" "$detector" "$ratio" "$median")")
        done
        rm -f "$work/long.wav"
    done
done

echo "== ratio dtmf-decode / multimon-ng"
printf '%s\n' "${summary[@]}"
exit $status

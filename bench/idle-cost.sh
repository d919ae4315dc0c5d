#!/usr/bin/env bash
# What the window program costs while it listens to a silent input: CPU time
# (user + system, from /proc/PID/stat) over a span of seconds and resident
# memory at its end, printed beside parec recording the same source over the
# same span as the peer.
#
# Usage: idle-cost.sh /path/to/dtmf [seconds]   (default 30)
set -uo pipefail

DTMF=$(readlink -f "$1")
SPAN=${2:-30}
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../tests/e2e/session.sh
source "$HERE/../tests/e2e/session.sh"
start_session --no-wm parec

"$DTMF" >"$WORK/dtmf.log" 2>&1 &
APP=$!
PIDS+=("$APP")
parec --device=line1.monitor --rate=48000 --channels=1 --format=s16le \
    --latency-msec=21 >/dev/null &
PEER=$!
PIDS+=("$PEER")
sleep 3 # start-up is not part of the idle cost

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }
a0=$(ticks $APP) p0=$(ticks $PEER)
sleep "$SPAN"
a1=$(ticks $APP) p1=$(ticks $PEER)
hz=$(getconf CLK_TCK)

awk -v a=$((a1 - a0)) -v p=$((p1 - p0)) -v hz="$hz" -v s="$SPAN" \
    -v ar="$(rss $APP)" -v pr="$(rss $PEER)" 'BEGIN {
    printf "dtmf : %5.2f %% of one core, %6d KiB resident\n", 100 * a / hz / s, ar
    printf "parec: %5.2f %% of one core, %6d KiB resident\n", 100 * p / hz / s, pr
    if (p > 0) printf "ratio dtmf/parec CPU: %.2f\n", a / p
}'

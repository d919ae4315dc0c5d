#!/usr/bin/env bash
# dtmf-decode on a live source of a private PulseAudio server: the sources
# listed with the default marked, keyed digits played into one and decoded as
# they come, a clean end on SIGINT with exit 0, and a server that goes away
# reported with exit 1.
#
# Usage: decode-live.sh /path/to/dtmf-decode
set -uo pipefail

DECODE=$(readlink -f "$1")
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../process-alive.sh
source "$HERE/../process-alive.sh"
# shellcheck source=../dtmf-tones.sh
source "$HERE/../dtmf-tones.sh"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/decode-live.XXXXXX")
DAEMON_PID=
cleanup() {
    [ -n "$DAEMON_PID" ] && "$HERE/../pulse-daemon.sh" stop "$DAEMON_PID" "$PULSE_DAEMON_DIR"
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() {
    echo "decode-live: $*" >&2
    exit 1
}
# wait_for TENTHS COMMAND...: true once COMMAND succeeds within TENTHS tenths of a second.
wait_for() {
    local tenths=$1
    shift
    for ((i = 0; i < tenths; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

eval "$("$HERE/../pulse-daemon.sh" start)" || fail "no sound server"
DAEMON_PID=$PULSE_DAEMON_PID
digits_wav "$WORK/keys.wav" "159#*0AD"

"$DECODE" --list-devices >"$WORK/list" || fail "--list-devices failed"
grep -qx $'line1.monitor\tMonitor of LineOne\tdefault' "$WORK/list" || fail "$(cat "$WORK/list")"
grep -qx $'line2.monitor\tMonitor of LineTwo' "$WORK/list" || fail "$(cat "$WORK/list")"

# Symbols come out while the recording runs; SIGINT ends it with exit 0.
"$DECODE" --format=tsv --device=line2.monitor --label=desk >"$WORK/tsv" 2>"$WORK/err" &
DECODER=$!
wait_for 50 sh -c 'pactl list short source-outputs | grep -q .' || fail "not recording"
paplay --device=line2 "$WORK/keys.wav" || fail "paplay failed"
wait_for 30 grep -q $'\tD$' "$WORK/tsv" || fail "no D before SIGINT: $(cat "$WORK/tsv" "$WORK/err")"
kill -INT "$DECODER"
wait "$DECODER"
STATUS=$?
[ "$STATUS" -eq 0 ] || fail "exit $STATUS after SIGINT: $(cat "$WORK/err")"
[ ! -s "$WORK/err" ] || fail "messages: $(cat "$WORK/err")"
GOT=$(tail -n +2 "$WORK/tsv" | cut -f1,5 | tr -d '\t\n')
[ "$GOT" = "desk1desk5desk9desk#desk*desk0deskAdeskD" ] || fail "decoded $GOT"

# The server goes away while recording: said, with exit 1.
"$DECODE" --device=default >"$WORK/out" 2>"$WORK/err" &
DECODER=$!
wait_for 50 sh -c 'pactl list short source-outputs | grep -q .' || fail "not recording"
kill "$DAEMON_PID"
wait "$DECODER"
STATUS=$?
[ "$STATUS" -eq 1 ] || fail "exit $STATUS when the server went away"
grep -qx 'dtmf-decode: default: the sound server went away' "$WORK/err" || fail "$(cat "$WORK/err")"
echo "decode-live: ok"

#!/usr/bin/env bash
# A private PulseAudio daemon for tests, in a fresh runtime folder of its own,
# reached only by clients that take the environment it prints.
#
#   eval "$(tests/pulse-daemon.sh start [MODULE-LOAD ...])"
#       Starts the daemon with two null sinks at 48000 Hz, mono, s16le:
#       line1 "LineOne" and line2 "LineTwo"; the default source is
#       line1.monitor ("Monitor of LineOne"). Each extra argument is loaded as
#       one more module, e.g. "module-null-source source_name=mic".
#       Prints export lines for XDG_RUNTIME_DIR, PULSE_SERVER,
#       PULSE_DAEMON_PID and PULSE_DAEMON_DIR. Play into a line with
#       `paplay --device=line1 file.wav`.
#   eval "$(tests/pulse-daemon.sh restart DIR [MODULE-LOAD ...])"
#       Starts a daemon as above in the folder of one that has ended, on the
#       same socket, so that clients of the old one find the new one.
#   tests/pulse-daemon.sh stop PID DIR
#       Ends that daemon (by its process id only), waits for it and removes
#       its folder. Killing PID by any other means is fine too.
#
# Works as root with no sound server running and no session bus.
set -euo pipefail

# shellcheck source=process-alive.sh
source "$(dirname "${BASH_SOURCE[0]}")/process-alive.sh"

stop_daemon() {
    local pid=$1 dir=${2:-}
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do
        alive "$pid" || break
        sleep 0.1
    done
    if alive "$pid"; then
        kill -9 "$pid" 2>/dev/null || true
    fi
    if [ -n "$dir" ] && [ -d "$dir" ]; then
        rm -rf "$dir"
    fi
}

# start_daemon DIR [MODULE-LOAD ...]
start_daemon() {
    local dir=$1
    shift
    chmod 700 "$dir"
    mkdir -p "$dir/pulse" "$dir/home"
    local loads=(
        --load="module-native-protocol-unix auth-anonymous=1 socket=$dir/pulse/native"
        --load="module-null-sink sink_name=line1 rate=48000 channels=1 format=s16le sink_properties=device.description=LineOne"
        --load="module-null-sink sink_name=line2 rate=48000 channels=1 format=s16le sink_properties=device.description=LineTwo"
    )
    local extra
    for extra in "$@"; do
        loads+=(--load="$extra")
    done
    XDG_RUNTIME_DIR=$dir HOME=$dir/home \
        pulseaudio -n --daemonize=no --use-pid-file=no --exit-idle-time=-1 --disallow-exit \
        --realtime=no --high-priority=no --log-target=stderr "${loads[@]}" \
        </dev/null >"$dir/daemon.log" 2>&1 &
    local pid=$!

    export XDG_RUNTIME_DIR=$dir PULSE_SERVER=unix:$dir/pulse/native
    local ready=no
    for _ in $(seq 100); do
        if ! alive "$pid"; then
            break
        fi
        if pactl info >/dev/null 2>&1; then
            ready=yes
            break
        fi
        sleep 0.1
    done
    # A module that fails to load leaves the daemon running without it.
    if [ "$ready" = yes ] && [ "$(pactl list short modules | wc -l)" -ne "${#loads[@]}" ]; then
        ready=no
    fi
    if [ "$ready" != yes ] || ! pactl set-default-source line1.monitor; then
        echo "pulse-daemon.sh: the daemon did not come up; its log:" >&2
        cat "$dir/daemon.log" >&2 || true
        stop_daemon "$pid" "$dir"
        exit 1
    fi
    echo "export XDG_RUNTIME_DIR=$dir"
    echo "export PULSE_SERVER=unix:$dir/pulse/native"
    echo "export PULSE_DAEMON_PID=$pid"
    echo "export PULSE_DAEMON_DIR=$dir"
}

case "${1:-}" in
start)
    shift
    start_daemon "$(mktemp -d "${TMPDIR:-/tmp}/pulse-test.XXXXXX")" "$@"
    ;;
restart)
    if [ $# -lt 2 ] || [ ! -d "$2" ]; then
        echo "usage: $0 restart DIR [MODULE-LOAD ...]" >&2
        exit 2
    fi
    shift
    start_daemon "$@"
    ;;
stop)
    [ $# -ge 2 ] || { echo "usage: $0 stop PID [DIR]" >&2; exit 2; }
    stop_daemon "$2" "${3:-}"
    ;;
*)
    echo "usage: $0 start [MODULE-LOAD ...] | restart DIR [MODULE-LOAD ...] | stop PID [DIR]" >&2
    exit 2
    ;;
esac

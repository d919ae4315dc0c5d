#!/usr/bin/env bash
# A private X server for tests, on a free display, with the openbox window
# manager on it so that windows get real placement, stacking and close
# requests.
#
#   eval "$(tests/display-server.sh start [--no-wm])"
#       Starts Xvfb (1280x800, 24 bits, no TCP) and, unless --no-wm, openbox.
#       Prints export lines for DISPLAY and DISPLAY_SERVER_PIDS.
#   tests/display-server.sh stop PID...
#       Ends those processes (by process id only) and waits for them.
#
# Works as root with no display and no session bus.
set -euo pipefail

# shellcheck source=process-alive.sh
source "$(dirname "${BASH_SOURCE[0]}")/process-alive.sh"

stop_server() {
    local pid
    for pid in "$@"; do kill "$pid" 2>/dev/null || true; done
    for pid in "$@"; do
        for _ in $(seq 50); do
            alive "$pid" || break
            sleep 0.1
        done
        kill -9 "$pid" 2>/dev/null || true
    done
}

start_server() {
    local wm=yes
    [ "${1:-}" = --no-wm ] && wm=no
    local log
    log=$(mktemp -d "${TMPDIR:-/tmp}/display-test.XXXXXX")
    # -noreset: a client that comes and goes before the window manager
    # connects must not reset the server under it.
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$log/display" \
        </dev/null >/dev/null 2>"$log/xvfb.log" &
    local pids=$!
    for _ in $(seq 100); do
        [ -s "$log/display" ] && break
        sleep 0.1
    done
    if [ ! -s "$log/display" ]; then
        echo "display-server.sh: Xvfb did not start; its log:" >&2
        cat "$log/xvfb.log" >&2 || true
        stop_server "$pids"
        rm -rf "$log"
        exit 1
    fi
    local display
    display=":$(head -n1 "$log/display")"
    if [ "$wm" = yes ]; then
        DISPLAY=$display openbox --sm-disable </dev/null >"$log/openbox.log" 2>&1 &
        pids="$pids $!"
        local ready=no
        for _ in $(seq 100); do
            if DISPLAY=$display wmctrl -m >/dev/null 2>&1; then
                ready=yes
                break
            fi
            sleep 0.1
        done
        if [ "$ready" != yes ]; then
            echo "display-server.sh: openbox did not start; its log:" >&2
            cat "$log/openbox.log" >&2 || true
            # shellcheck disable=SC2086
            stop_server $pids
            rm -rf "$log"
            exit 1
        fi
    fi
    rm -rf "$log"
    echo "export DISPLAY=$display"
    echo "export DISPLAY_SERVER_PIDS=\"$pids\""
}

case "${1:-}" in
start)
    shift
    start_server "$@"
    ;;
stop)
    shift
    stop_server "$@"
    ;;
*)
    echo "usage: $0 start [--no-wm] | stop PID..." >&2
    exit 2
    ;;
esac

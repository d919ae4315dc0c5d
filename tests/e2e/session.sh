# shellcheck shell=bash
# Sourced by the scripts that run the window program for real: a scratch
# folder and a private home, an X server with openbox and a private PulseAudio
# daemon, all ended on exit, and the small helpers the scripts share.
#
#   source "$(dirname "$0")/session.sh"   (tests/e2e) and then
#   start_session [--no-wm] TOOL...       checks the tools, starts X and sound
#
# WORK is the scratch folder (kept when KEEP_WORK is set); the program's output
# goes to $WORK/dtmf.log by convention. APP and the array PIDS hold processes
# to end on exit. A script may define on_failure to show more when it fails.

SESSION_TESTS=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
WORK=$(mktemp -d /tmp/dtmf-e2e.XXXXXX)
APP=""
PIDS=()
PULSE_PID="" PULSE_DIR="" X_PIDS=""

log() { echo "e2e: $*"; }
fail() {
    echo "e2e: FAIL: $*" >&2
    declare -F on_failure >/dev/null && on_failure >&2
    [ -s "$WORK/dtmf.log" ] && sed 's/^/dtmf: /' "$WORK/dtmf.log" >&2
    exit 1
}

end_session() {
    local p
    for p in $APP "${PIDS[@]}"; do kill "$p" 2>/dev/null; done
    for p in $APP "${PIDS[@]}"; do wait "$p" 2>/dev/null; done
    [ -n "$PULSE_PID" ] && bash "$SESSION_TESTS/pulse-daemon.sh" stop "$PULSE_PID" "$PULSE_DIR"
    # shellcheck disable=SC2086
    [ -n "$X_PIDS" ] && bash "$SESSION_TESTS/display-server.sh" stop $X_PIDS
    if [ -n "${KEEP_WORK:-}" ]; then
        echo "e2e: kept $WORK"
    else
        rm -rf "$WORK"
    fi
}
trap end_session EXIT

# Runs "$@" every 0.1 s until it succeeds or Tenths tenths of a second pass.
wait_for() {
    local tenths=$1
    shift
    local i
    for ((i = 0; i < tenths; i++)); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# origin Window: "X Y", the screen position of the window's client area.
origin() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
        END {print x, y}'
}
# click Window X Y: a left click at X, Y of the window's client area.
click() {
    local ox oy
    read -r ox oy < <(origin "$1")
    xdotool mousemove $((ox + $2)) $((oy + $3)) click 1
}

# device_field_y Settings: a row of Settings' client area inside the device
# list's text field, which is the first white run down the column x = 60.
device_field_y() {
    local sx sy y c
    read -r sx sy < <(origin "$1")
    import -window root "png:$WORK/settings.png" || return 1
    for ((y = 20; y < 110; y++)); do
        c=$(convert "$WORK/settings.png" -format "%[pixel:p{$((sx + 60)),$((sy + y))}]" info:)
        case "$c" in "srgb(255,255,255)" | "srgb(255,255,255)a" | white | whitea)
            echo $((y + 3))
            return 0
            ;;
        esac
    done
    return 1
}

# choose_next_device Settings: opens the device list of Settings with a click
# on its field and takes the entry below the current one. The field's row is
# left in FIELD_Y, for the buttons under it.
choose_next_device() {
    xdotool windowactivate --sync "$1" 2>/dev/null || true
    FIELD_Y=$(device_field_y "$1") || fail "no device field found in Settings"
    click "$1" 60 "$FIELD_Y"
    sleep 0.2
    xdotool key Down
}

# read_line Window: the digit line's text, as a person copies it.
read_line() {
    local w=$1
    xdotool windowactivate --sync "$w" 2>/dev/null || true
    click "$w" 200 10
    sleep 0.2
    xdotool key --clearmodifiers ctrl+a ctrl+c
    sleep 0.3
    xclip -o -selection clipboard 2>/dev/null
}

# expect_line Expected: reads the line of the main window $WIN until it shows
# Expected (bounded).
expect_line() {
    local want=$1 got="" i
    for ((i = 0; i < 10; i++)); do
        got=$(read_line "$WIN")
        [ "$got" = "$want" ] && return 0
        sleep 0.5
    done
    fail "digit line is '$got', expected '$want'"
}

# Asks the main window to close through the window manager, as its close box
# does, and wants the program to end within 5 s with status 0.
close_main_window() {
    wmctrl -c ' DTMF' || fail "wmctrl could not close the window"
    local i status
    for ((i = 0; i < 50; i++)); do
        kill -0 "$APP" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$APP" 2>/dev/null && fail "dtmf still runs 5 s after the close request"
    wait "$APP"
    status=$?
    APP=""
    [ "$status" = 0 ] || fail "dtmf ended with status $status"
}

start_session() {
    local wm=""
    if [ "${1:-}" = --no-wm ]; then
        wm=--no-wm
        shift
    fi
    local tool
    for tool in Xvfb pactl pulseaudio "$@"; do
        command -v "$tool" >/dev/null || fail "$tool is not installed"
    done
    # Nothing of the machine's own home is read or written.
    export HOME="$WORK/home"
    mkdir -p "$HOME"

    local env
    env=$(bash "$SESSION_TESTS/display-server.sh" start $wm) || fail "the X server did not start"
    eval "$env"
    X_PIDS=$DISPLAY_SERVER_PIDS
    log "X on $DISPLAY"

    # Sinks line1 and line2; the default source is line1.monitor.
    env=$(bash "$SESSION_TESTS/pulse-daemon.sh" start) || fail "PulseAudio did not start"
    eval "$env"
    PULSE_PID=$PULSE_DAEMON_PID PULSE_DIR=$PULSE_DAEMON_DIR
    log "PulseAudio in $XDG_RUNTIME_DIR"
}

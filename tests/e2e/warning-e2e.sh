#!/usr/bin/env bash
# A capture failure while the settings window is open, in a real window: the
# sound server goes away while the program records with Settings up (opened
# with its key, Ctrl+,), and the Warning must stand above Settings, which stays
# on top, and above every other window of the program, even after a click on
# Settings' title bar or on the main window. Then the server is started again
# and a device is chosen in Settings: capture starts there and digits played
# into it reach the line. Also checks Esc on Settings and the window's own
# icon.
#
# Usage: warning-e2e.sh /path/to/dtmf
set -uo pipefail

DTMF=$(readlink -f "$1")
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=session.sh
source "$HERE/session.sh"
on_failure() {
    xprop -root _NET_CLIENT_LIST_STACKING
    if [ -n "${E2E_DEBUG:-}" ]; then
        xwininfo -root -tree
        xdotool getmouselocation
    fi
}
start_session openbox xdotool xprop xwininfo wmctrl xclip sox paplay import convert

"$DTMF" >"$WORK/dtmf.log" 2>&1 &
APP=$!

find_named() { xdotool search --onlyvisible --name "$1" | head -n1 | grep .; }
find_main() { find_named '^ DTMF$'; }
find_settings() { find_named '^ Settings$'; }
find_warning() { find_named '^Warning$'; }
wait_for 150 find_main || fail "the main window did not appear"
WIN=$(find_main)
wait_for 100 sh -c 'pactl list short source-outputs | grep -q .' || fail "dtmf is not recording"
log "main window $WIN, recording"

# The window's own icon, in every size drawn from the SVG.
ICONS=$(xprop -len 4000000 -id "$WIN" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' ')
for size in 16 32 48 64 128 256; do
    case "$ICONS" in *"($size x $size)"*) ;; *) fail "no $size px window icon: $ICONS" ;; esac
done
log "window icons: $ICONS"

# Ctrl+, opens Settings from the digit line; its first showing is centred on
# the screen, where the Warning will stand too.
settings_hidden() { ! find_settings; }
xdotool windowactivate --sync "$WIN" 2>/dev/null || true
xdotool key --clearmodifiers ctrl+comma
wait_for 50 find_settings || fail "Ctrl+, did not open Settings"
SET=$(find_settings)
log "Settings $SET opened by Ctrl+,"

# The main window active, Settings above it as it stays on top.
xdotool windowactivate --sync "$WIN" 2>/dev/null || true
sleep 0.3

# The server goes away under the running capture.
kill "$PULSE_PID"
wait_for 100 find_warning || fail "no Warning after the sound server went away"
WARN=$(find_warning)
sleep 0.5
log "Warning $WARN"

# rect Window: "X Y W H" of its client area on the screen.
rect() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
        /Width:/ {w = $NF} /Height:/ {h = $NF} END {print x, y, w, h}'
}
# on_top Window: stacked above every other window of the program, and the one
# the pointer meets at its centre and inside each of its corners.
on_top() {
    local w=$1 stack id top="" x y cw ch px py under
    stack=$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g')
    for id in $stack; do
        case $((id)) in "$WIN" | "$SET" | "$w") top=$((id)) ;; esac
    done
    [ "$top" = "$w" ] || { echo "stacking: $stack (top of ours: $top)"; return 1; }
    read -r x y cw ch < <(rect "$w")
    for p in "$((cw / 2)) $((ch / 2))" "4 4" "$((cw - 5)) 4" "4 $((ch - 5))" "$((cw - 5)) $((ch - 5))"; do
        read -r px py <<<"$p"
        xdotool mousemove $((x + px)) $((y + py))
        under=$(xdotool getmouselocation --shell | sed -n 's/^WINDOW=//p')
        # The pointer meets the client or the window manager's frame around it.
        if [ "$under" != "$w" ] && ! grep -q "$(printf '0x%x ' "$w")" <(xwininfo -tree -id "$under"); then
            echo "at $px,$py of the Warning the pointer meets $under"
            return 1
        fi
    done
}
why=$(on_top "$WARN") || fail "the Warning is not on top: $why"
# Centred on the screen (1280 x 800), as every warning of the program; Qt
# counts the whole window frame above the client area, which sits up to a
# title bar higher.
read -r WX WY WW WH < <(rect "$WARN")
DX=$((WX + WW / 2 - 640)) DY=$((WY + WH / 2 - 400))
if [ ${DX#-} -gt 2 ] || [ "$DY" -gt 2 ] || [ "$DY" -lt -30 ]; then
    fail "the Warning is not centred: $WX,$WY ${WW}x$WH"
fi
grep -q _NET_WM_STATE_MODAL <(xprop -id "$WARN" _NET_WM_STATE) || fail "the Warning is not modal"
log "Warning on top, centred and modal"

# A click on Settings' title bar does not bring it above the Warning.
read -r SX SY SW _ < <(rect "$SET")
xdotool mousemove $((SX + SW - 30)) $((SY - 8)) click 1
sleep 0.5
why=$(on_top "$WARN") || fail "after a click on Settings the Warning is not on top: $why"
# Left of the Warning and of Settings, both centred over the main window.
read -r MX MY _ < <(rect "$WIN")
xdotool mousemove $((MX + 20)) $((MY + 10)) click 1
xdotool windowactivate "$WIN" 2>/dev/null || true
sleep 0.5
why=$(on_top "$WARN") || fail "after activating the main window the Warning is not on top: $why"
log "Warning still on top after Settings and the main window were clicked"

# OK answers it; the program lives on, Esc hides Settings, and the program
# closes normally.
xdotool windowactivate --sync "$WARN" 2>/dev/null || true
xdotool key Return
xdotool keyup Return
warning_gone() { ! find_warning; }
wait_for 50 warning_gone || fail "Return did not answer the Warning"
kill -0 "$APP" 2>/dev/null || fail "dtmf ended with the Warning"
find_settings >/dev/null || fail "Settings went away with the Warning"

# The server comes back; device 1 chosen in Settings (a click in its device
# list, then Down) records again, and digits played into it are decoded.
bash "$SESSION_TESTS/pulse-daemon.sh" stop "$PULSE_PID"
env=$(bash "$SESSION_TESTS/pulse-daemon.sh" restart "$PULSE_DIR") || fail "PulseAudio did not start again"
eval "$env"
PULSE_PID=$PULSE_DAEMON_PID
log "PulseAudio started again"
choose_next_device "$SET"
LINE2=$(pactl list short sources | awk '$2 == "line2.monitor" {print $1}')
on_line2() { [ "$(pactl list short source-outputs | awk '{print $2}' | sort -u)" = "$LINE2" ]; }
wait_for 50 on_line2 || fail "no capture on device 1 after it was chosen: $(pactl list short source-outputs)"
find_warning >/dev/null && fail "a Warning after device 1 was chosen"

xdotool windowactivate --sync "$SET" 2>/dev/null || true
xdotool key Escape
wait_for 30 settings_hidden || fail "Esc did not hide Settings"
log "Warning answered, device 1 chosen, Settings hidden by Esc"

# shellcheck source=../dtmf-tones.sh
source "$SESSION_TESTS/dtmf-tones.sh"
digits_wav "$WORK/digits.wav" "7359"
paplay --device=line2 "$WORK/digits.wav" || fail "paplay into line2"
expect_line "7359"
log "capture recovered on device 1: read '7359'"
close_main_window
echo "e2e: all checks passed"

# shellcheck shell=bash
# Sourced by the scripts that start servers for tests. alive PID: true while
# the process runs; a zombie counts as gone, since the servers are no children
# of whoever asks.
alive() {
    [ -r "/proc/$1/stat" ] || return 1
    local state
    state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
    [ "$state" != Z ]
}

#!/usr/bin/env bash
# The bash completion of dtmf-decode called as interactive bash calls it: for
# "--format=" and Tab the words are (dtmf-decode --format =), the current word
# is "=" itself at index 2, and the function gets "dtmf-decode = --format".
#
# Usage: decode-completion.sh COMPLETION-FILE
set -uo pipefail
# shellcheck source=/dev/null
source "$1"
FAILED=0

# expect "WANTED" WORD...: the last word is the current one.
expect() {
    local wanted=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _dtmf_decode dtmf-decode "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    if [ "${COMPREPLY[*]}" != "$wanted" ]; then
        echo "after '${COMP_WORDS[*]}': '${COMPREPLY[*]}', not '$wanted'" >&2
        FAILED=1
    fi
}

expect "text tsv jsonl" dtmf-decode --format =
expect "strict window" dtmf-decode --detector =
expect "s16le u8 f32le mulaw alaw" dtmf-decode --encoding =
expect "offset wall" dtmf-decode --timestamps =
expect "tsv" dtmf-decode -d window --format = ts
expect "jsonl" dtmf-decode --format j
expect "window" dtmf-decode -d w
expect "--format=jsonl" dtmf-decode --format=j
expect "mulaw" dtmf-decode -e m
expect "" dtmf-decode --rate =
expect "--detector= --device=" dtmf-decode --de
expect "--timestamps --timestamps=" dtmf-decode --timestamps
exit $FAILED

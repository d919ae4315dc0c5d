# shellcheck shell=bash
# Sourced by the scripts that play or decode keypad tones made with sox.
# LOW and HIGH give each symbol's row and column frequency in Hz.
#
#   digits_wav OUT DIGITS [TONE] [GAP] [LEAD] [VOLUME]
#       Writes OUT (48000 Hz mono 16-bit): LEAD seconds of silence, then each
#       digit's two tones for TONE seconds followed by GAP seconds of silence,
#       then LEAD seconds of silence again. Defaults: 0.08, 0.08, 0.3, 0.5
#       (-12 dBFS per tone). A LEAD of 0 leaves the silence at both ends out.

declare -A LOW=([1]=697 [2]=697 [3]=697 [A]=697 [4]=770 [5]=770 [6]=770 [B]=770
    [7]=852 [8]=852 [9]=852 [C]=852 ['*']=941 [0]=941 ['#']=941 [D]=941)
declare -A HIGH=([1]=1209 [4]=1209 [7]=1209 ['*']=1209 [2]=1336 [5]=1336 [8]=1336 [0]=1336
    [3]=1477 [6]=1477 [9]=1477 ['#']=1477 [A]=1633 [B]=1633 [C]=1633 [D]=1633)

digits_wav() {
    local out=$1 digits=$2 tone=${3:-0.08} gap=${4:-0.08} lead=${5:-0.3} volume=${6:-0.5}
    local parts_dir parts=() i d
    parts_dir=$(mktemp -d "${TMPDIR:-/tmp}/digits.XXXXXX")
    if [ "$lead" != 0 ]; then
        sox -n -r 48000 -c 1 -b 16 "$parts_dir/lead.wav" trim 0 "$lead"
        parts+=("$parts_dir/lead.wav")
    fi
    for ((i = 0; i < ${#digits}; i++)); do
        d=${digits:i:1}
        sox -n -r 48000 -c 1 -b 16 "$parts_dir/d$i.wav" synth "$tone" sine "${LOW[$d]}" \
            sine "${HIGH[$d]}" channels 1 vol "$volume" pad 0 "$gap"
        parts+=("$parts_dir/d$i.wav")
    done
    [ "$lead" != 0 ] && parts+=("$parts_dir/lead.wav")
    if [ ${#parts[@]} -eq 1 ]; then
        cp "${parts[0]}" "$out"
    else
        sox "${parts[@]}" "$out"
    fi
    local status=$?
    rm -rf "$parts_dir"
    return $status
}

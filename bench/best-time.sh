# shellcheck shell=bash
# Sourced by the timing scripts. best_time RUNS OUT COMMAND...: the best
# wall-clock time in seconds of RUNS runs of COMMAND, its standard output left
# in the file OUT.
best_time() {
    local runs=$1 out=$2
    shift 2
    local best="" t start end r
    for ((r = 0; r < runs; r++)); do
        start=$(date +%s.%N)
        "$@" >"$out"
        end=$(date +%s.%N)
        t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
        if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$t
        fi
    done
    echo "$best"
}

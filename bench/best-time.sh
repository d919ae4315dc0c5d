# shellcheck shell=bash
# Sourced by the timing scripts. best_time RUNS OUT COMMAND...: the best
# wall-clock time in seconds of RUNS runs of COMMAND, its standard output left
# in the file OUT. After it, BEST_CPU holds the least CPU time (user and
# system, all threads) that a run took, from GNU time.
best_time() {
    local runs=$1 out=$2
    shift 2
    local best="" t start end r cpu
    BEST_CPU=""
    for ((r = 0; r < runs; r++)); do
        start=$(date +%s.%N)
        /usr/bin/time -f '%U %S' -o "$out.cpu" "$@" >"$out"
        end=$(date +%s.%N)
        t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
        if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$t
        fi
        cpu=$(awk '{ printf "%.3f", $1 + $2 }' "$out.cpu")
        if [ -z "$BEST_CPU" ] || awk -v a="$cpu" -v b="$BEST_CPU" 'BEGIN { exit !(a < b) }'; then
            BEST_CPU=$cpu
        fi
    done
    rm -f "$out.cpu"
    echo "$best"
}

# wall_time OUT COMMAND...: the wall-clock time in seconds of one run of
# COMMAND, its standard output left in the file OUT.
wall_time() {
    local out=$1 start end
    shift
    start=$(date +%s.%N)
    "$@" >"$out"
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }'
}

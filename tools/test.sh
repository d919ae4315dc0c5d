#!/usr/bin/env bash
# Sets up, builds and runs every test: the ordinary build, the same tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, and a short run of
# the fuzz targets. Tests that need a sound server or a display start their
# own private PulseAudio daemon and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

passed=0
failed=0
run_ctest() {
    local dir=$1
    shift
    local log
    log=$(mktemp)
    set +e
    ctest --test-dir "$dir" --output-on-failure --timeout 600 "$@" 2>&1 | tee "$log"
    set -e
    local line total bad
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    rm -f "$log"
    if [ -z "$line" ]; then
        failed=$((failed + 1))
        return
    fi
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}

echo "== Build and tests"
BUILD_DIR=build tools/setup.sh
run_ctest build

echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
BUILD_DIR=build-sanitize tools/setup.sh -DDTMF_SANITIZE=ON -DDTMF_BENCH=OFF
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-sanitize -LE e2e

echo "== Fuzz targets"
BUILD_DIR=build-fuzz tools/setup.sh -DCMAKE_CXX_COMPILER=clang++ -DDTMF_FUZZ=ON -DDTMF_GUI=OFF \
    -DDTMF_BENCH=OFF
run_ctest build-fuzz -L fuzz

echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

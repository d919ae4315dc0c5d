#!/usr/bin/env bash
# Sets up, builds and runs every test: the ordinary build, shellcheck on the
# scripts, the Python module, the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, and a short run of the fuzz targets. Tests that
# need a sound server or a display start their own private PulseAudio daemon
# and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

failed_runs=()
# Runs ctest in a build folder; its exit status decides, its summary is shown.
run_ctest() {
    local name=$1 dir=$2
    shift 2
    if ! ctest --test-dir "$dir" --output-on-failure --timeout 600 "$@"; then
        failed_runs+=("$name")
    fi
}

echo "== Build and tests"
BUILD_DIR=build tools/setup.sh
run_ctest ordinary build

echo "== Shell scripts"
git ls-files -z '*.sh' | xargs -0 shellcheck || failed_runs+=(shellcheck)

echo "== Python module, against dtmf-decode and on a local Dask cluster"
DTMF_BUILD=build /usr/bin/python3 -m pytest -q -p no:cacheprovider library/python/test_dtmf.py ||
    failed_runs+=(python)

echo "== Debian package: build, lintian, install, run, remove"
bash tools/package-smoke.sh build || failed_runs+=(package)

echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
BUILD_DIR=build-sanitize tools/setup.sh -DDTMF_SANITIZE=ON -DDTMF_BENCH=OFF -DDTMF_PYTHON=OFF
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    run_ctest sanitizers build-sanitize -LE e2e

echo "== Fuzz targets"
BUILD_DIR=build-fuzz tools/setup.sh -DCMAKE_CXX_COMPILER=clang++ -DDTMF_FUZZ=ON -DDTMF_GUI=OFF \
    -DDTMF_BENCH=OFF -DDTMF_PYTHON=OFF
run_ctest fuzz build-fuzz -L fuzz

if [ ${#failed_runs[@]} -gt 0 ]; then
    echo "tests: failures in: ${failed_runs[*]}"
    exit 1
fi
echo "tests: all passed"

#!/usr/bin/env bash
# Sets up, builds the two programs (the window program and dtmf-decode, not
# the tests and benchmarks, which tools/test.sh builds) and starts the window
# program with the arguments given, e.g. --detector=strict.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=build BUILD_TARGETS=programs tools/setup.sh
exec build/dtmf "$@"

#!/usr/bin/env bash
# Sets up, builds and starts the window program.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=build tools/setup.sh
exec build/dtmf "$@"

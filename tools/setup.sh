#!/usr/bin/env bash
# Installs the Debian packages of tools/packages.txt that are missing (with
# sudo when not root), then configures and builds into build/ (BUILD_DIR):
# everything, or only the targets named in BUILD_TARGETS.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t wanted < <(grep -v -E '^\s*(#|$)' tools/packages.txt)
missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
targets=()
for t in ${BUILD_TARGETS:-}; do
    targets+=(--target "$t")
done
cmake --build "$build" -j "$(nproc)" "${targets[@]}"

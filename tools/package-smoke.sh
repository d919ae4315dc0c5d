#!/usr/bin/env bash
# The Debian package as a user gets it: built with cpack from a configured and
# built folder, checked by lintian (errors fail, warnings are shown), installed
# with apt-get, the installed dtmf-decode run on a recording made here, and
# removed again.
#
# Usage: tools/package-smoke.sh BUILD_DIR      (as root, or with sudo)
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
BUILD=$(cd "$1" && pwd)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
WORK=$(mktemp -d "${TMPDIR:-/tmp}/package-smoke.XXXXXX")
INSTALLED=no

fail() {
    echo "package-smoke: FAIL: $*" >&2
    exit 1
}
cleanup() {
    if [ "$INSTALLED" = yes ]; then
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y dtmf >/dev/null ||
            echo "package-smoke: could not remove the package dtmf" >&2
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

for tool in cpack lintian apt-get dpkg-deb sox; do
    command -v "$tool" >/dev/null || fail "$tool is not installed"
done
# Never take away a copy of the program that was there before.
if [ "$(dpkg-query -W -f='${Status}' dtmf 2>/dev/null)" = "install ok installed" ]; then
    fail "a package dtmf is already installed; remove it first"
fi

# --- build the package ----------------------------------------------------------------
rm -f "$BUILD"/dtmf_*.deb
(cd "$BUILD" && cpack -G DEB) >"$WORK/cpack.log" 2>&1 || {
    cat "$WORK/cpack.log" >&2
    fail "cpack -G DEB"
}
DEBS=("$BUILD"/dtmf_*.deb)
if [ ${#DEBS[@]} -ne 1 ] || [ ! -f "${DEBS[0]}" ]; then
    fail "cpack made no single dtmf_*.deb"
fi
DEB=${DEBS[0]}
echo "package-smoke: $(basename "$DEB"), $(stat -c %s "$DEB") bytes"
dpkg-deb -f "$DEB" Depends Recommends | sed 's/^/package-smoke: /'

# --- lintian ----------------------------------------------------------------------------
status=0
lintian --fail-on error "$DEB" >"$WORK/lintian.log" 2>&1 || status=$?
grep -v '^running with root privileges' "$WORK/lintian.log" || true
[ "$status" -eq 0 ] || fail "lintian reports errors (status $status)"
echo "package-smoke: lintian: no errors, $(grep -c '^W: ' "$WORK/lintian.log" || true) warnings"

# --- install ----------------------------------------------------------------------------
INSTALLED=yes
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "$DEB" >"$WORK/apt.log" 2>&1 || {
    cat "$WORK/apt.log" >&2
    fail "apt-get install $DEB"
}
for f in /usr/bin/dtmf /usr/bin/dtmf-decode /usr/share/applications/dtmf.desktop \
    /usr/share/metainfo/dtmf.metainfo.xml /usr/share/icons/hicolor/48x48/apps/dtmf.png \
    /usr/share/man/man1/dtmf.1.gz /usr/share/doc/dtmf/copyright; do
    [ -e "$f" ] || fail "$f is not installed"
done
# Every library the programs need came with the package's dependencies.
if ldd /usr/bin/dtmf /usr/bin/dtmf-decode | grep 'not found'; then
    fail "a library of the installed programs is missing"
fi

# --- the installed decoder ----------------------------------------------------------------
VERSION=$(/usr/bin/dtmf-decode --version) || fail "dtmf-decode --version failed"
[ -n "$VERSION" ] || fail "dtmf-decode --version printed nothing"
echo "package-smoke: dtmf-decode --version: $VERSION"

# 80 ms of each digit's two tones, 80 ms apart, at 48000 Hz.
# shellcheck source=../tests/dtmf-tones.sh
source "$(cd "$(dirname "$0")" && pwd)/../tests/dtmf-tones.sh"
DIGITS="159#0AD"
digits_wav "$WORK/digits.wav" "$DIGITS" 0.08 0.08 0.2

GOT=$(/usr/bin/dtmf-decode "$WORK/digits.wav") || fail "dtmf-decode on a WAV failed"
[ "$GOT" = "$DIGITS" ] || fail "dtmf-decode read '$GOT', expected '$DIGITS'"
echo "package-smoke: the installed dtmf-decode read '$GOT'"

# --- remove ---------------------------------------------------------------------------------
DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y dtmf >"$WORK/apt.log" 2>&1 || {
    cat "$WORK/apt.log" >&2
    fail "apt-get remove dtmf"
}
INSTALLED=no
[ ! -e /usr/bin/dtmf-decode ] || fail "/usr/bin/dtmf-decode is still there after the removal"
echo "package-smoke: all checks passed"

#!/usr/bin/env bash
# The Debian packages as a user gets them: built with cpack from a configured
# and built folder, checked by lintian (errors fail, warnings are shown; with
# --pedantic no hardening tag may show), then each installed with apt-get on
# its own, with no other package of this project but the library, checked and
# removed again:
#   dtmf-decode   decodes a recording made here; neither it nor its package
#                 needs Qt or libpulse
#   libdtmf-dev   a C program built with cc $(pkg-config --cflags --libs dtmf)
#                 runs and decodes
#   python3-dtmf  Debian's python3 imports it and decodes the recording
#   dtmf          the window program with its files, every library it needs found
#
# Usage: tools/package-smoke.sh BUILD_DIR      (as root, or with sudo)
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
BUILD=$(cd "$1" && pwd)
SOURCE=$(cd "$(dirname "$0")/.." && pwd)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
WORK=$(mktemp -d "${TMPDIR:-/tmp}/package-smoke.XXXXXX")
PACKAGES=(dtmf-decode libdtmf1 libdtmf-dev python3-dtmf)
grep -q '^DTMF_GUI:BOOL=ON' "$BUILD/CMakeCache.txt" && PACKAGES+=(dtmf)

fail() {
    echo "package-smoke: FAIL: $*" >&2
    exit 1
}
say() {
    echo "package-smoke: $*"
}
installed() {
    [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}
remove_all() {
    local present=()
    for p in "${PACKAGES[@]}"; do
        installed "$p" && present+=("$p")
    done
    [ ${#present[@]} -eq 0 ] ||
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get purge -y "${present[@]}" >"$WORK/apt.log" 2>&1
}
cleanup() {
    remove_all || echo "package-smoke: could not remove the packages" >&2
    rm -rf "$WORK"
}

for tool in cpack lintian apt-get dpkg-deb sox cc pkg-config; do
    command -v "$tool" >/dev/null || fail "$tool is not installed"
done
# Never take away a copy that was there before.
for p in "${PACKAGES[@]}"; do
    installed "$p" && fail "the package $p is already installed; remove it first"
done
trap cleanup EXIT

# --- build the packages -------------------------------------------------------------------
declare -A DEB
rm -f "$BUILD"/*_*.deb
(cd "$BUILD" && cpack -G DEB) >"$WORK/cpack.log" 2>&1 || {
    cat "$WORK/cpack.log" >&2
    fail "cpack -G DEB"
}
for p in "${PACKAGES[@]}"; do
    DEB[$p]=$(find "$BUILD" -maxdepth 1 -name "${p}_*.deb")
    [ -f "${DEB[$p]}" ] || fail "cpack made no ${p}_*.deb"
    say "$(basename "${DEB[$p]}"), $(stat -c %s "${DEB[$p]}") bytes; Depends: $(dpkg-deb -f "${DEB[$p]}" Depends)"
done
if dpkg-deb -f "${DEB[dtmf-decode]}" Depends | grep -Eq 'libqt|libpulse'; then
    fail "dtmf-decode depends on Qt or libpulse"
fi

# --- lintian --------------------------------------------------------------------------------
status=0
lintian --pedantic --display-info --fail-on error "${DEB[@]}" >"$WORK/lintian.log" 2>&1 || status=$?
grep -v '^running with root privileges' "$WORK/lintian.log" || true
[ "$status" -eq 0 ] || fail "lintian reports errors (status $status)"
if grep -q 'hardening' "$WORK/lintian.log"; then
    fail "lintian reports a binary built without Debian's hardening"
fi
say "lintian: no errors, no hardening tags, $(grep -c '^W: ' "$WORK/lintian.log" || true) warnings"

# --- each package on its own ----------------------------------------------------------------
# Installs the given packages of this project, nothing else of it.
install_only() {
    remove_all || fail "apt-get purge"
    local debs=()
    for p in "$@"; do
        debs+=("${DEB[$p]}")
    done
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${debs[@]}" >"$WORK/apt.log" 2>&1 || {
        cat "$WORK/apt.log" >&2
        fail "apt-get install $*"
    }
    for p in "${PACKAGES[@]}"; do
        if installed "$p" && [[ " $* " != *" $p "* ]]; then
            fail "installing $* brought $p"
        fi
    done
}

# 80 ms of each digit's two tones, 80 ms apart, at 48000 Hz.
# shellcheck source=../tests/dtmf-tones.sh
source "$SOURCE/tests/dtmf-tones.sh"
DIGITS="159#0AD"
digits_wav "$WORK/digits.wav" "$DIGITS" 0.08 0.08 0.2

install_only libdtmf1 dtmf-decode
VERSION=$(/usr/bin/dtmf-decode --version) || fail "dtmf-decode --version failed"
say "dtmf-decode --version: $VERSION"
GOT=$(/usr/bin/dtmf-decode "$WORK/digits.wav") || fail "dtmf-decode on a WAV failed"
[ "$GOT" = "$DIGITS" ] || fail "dtmf-decode read '$GOT', expected '$DIGITS'"
if ldd /usr/bin/dtmf-decode | grep -E 'not found|libQt|libpulse'; then
    fail "dtmf-decode lacks a library or loads Qt or libpulse"
fi
for f in /usr/share/man/man1/dtmf-decode.1.gz /usr/share/bash-completion/completions/dtmf-decode \
    /usr/share/doc/dtmf-decode/copyright; do
    [ -e "$f" ] || fail "$f is not installed"
done
say "dtmf-decode with libdtmf1 alone read '$GOT'"

install_only libdtmf1 libdtmf-dev
# shellcheck disable=SC2046 # pkg-config gives separate words
cc -std=c99 -Wall -Werror -o "$WORK/c-program" "$SOURCE/tests/test_libdtmf.c" \
    $(pkg-config --cflags --libs dtmf) -lm || fail "a C program does not build against libdtmf-dev"
if ! (cd "$WORK" && ./c-program) >"$WORK/c-program.log" 2>&1; then
    cat "$WORK/c-program.log" >&2
    fail "the C program built with pkg-config failed"
fi
say "C program: $(cat "$WORK/c-program.log")"

install_only libdtmf1 python3-dtmf
GOT=$(cd "$WORK" && env -u PYTHONPATH /usr/bin/python3 -c '
import sys, dtmf
assert dtmf.__file__.startswith("/usr/lib/python3/dist-packages/"), dtmf.__file__
print("".join(s.symbol for s in dtmf.decode_file(sys.argv[1])))' "$WORK/digits.wav") ||
    fail "python3 could not decode with the installed module"
[ "$GOT" = "$DIGITS" ] || fail "the Python module read '$GOT', expected '$DIGITS'"
say "python3-dtmf read '$GOT'"

if [[ " ${PACKAGES[*]} " == *" dtmf "* ]]; then
    install_only dtmf
    for f in /usr/bin/dtmf /usr/share/man/man1/dtmf.1.gz /usr/share/doc/dtmf/copyright; do
        [ -e "$f" ] || fail "$f is not installed"
    done
    for kind in /usr/share/applications/ /usr/share/metainfo/ /usr/share/icons/hicolor/48x48/; do
        dpkg -L dtmf | grep -q "^$kind" || fail "dtmf installs nothing under $kind"
    done
    if ldd /usr/bin/dtmf | grep 'not found'; then
        fail "a library of the window program is missing"
    fi
    say "dtmf installed with its files and libraries"
fi

# --- remove ---------------------------------------------------------------------------------
remove_all || fail "apt-get purge"
[ ! -e /usr/bin/dtmf-decode ] || fail "/usr/bin/dtmf-decode is still there after the removal"
say "all checks passed"

#!/bin/sh
# `make run` on an up-to-date build says only what the host says: without a display, the
# four lines about VNC and the picture it takes instead, and no line of the build.
#
#   make_run_test.sh MAKE SOURCE_DIR BUILD_DIR
set -eu
make=$1 source_dir=$2 build_dir=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/globalstab-make-run.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
fail() { echo "FAILED: $*"; exit 1; }

# As from a terminal: not a make run by another make, no display.
cd "$source_dir"
env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" \
    "$make" run BUILD_DIR="$build_dir" >"$work/out" 2>&1 || { cat "$work/out"; fail "make run"; }
cat "$work/out"
[ "$(wc -l <"$work/out")" -eq 4 ] || fail "make run printed more than the host's four lines"
grep -q "^No display found" "$work/out" || fail "no word of the missing display"
grep -q "localhost:5900" "$work/out" || fail "no word of VNC on this machine"
grep -q "^Wrote $build_dir/globals-tab.png.$" "$work/out" || fail "no picture written"
echo OK

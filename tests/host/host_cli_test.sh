#!/bin/sh
# The demo host from a terminal: --help and --version whatever DISPLAY says, the tab served
# over VNC as the README tells, and screenshots in the format their extension names.
#
#   host_cli_test.sh HOST
set -eu
host=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/globalstab-host.XXXXXX")
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT INT TERM
pid=
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
fail() { echo "FAILED: $*"; exit 1; }

for option in --help --version; do
    env -u QT_QPA_PLATFORM DISPLAY=:97 "$host" "$option" >"$work/out" 2>&1 ||
        fail "$option with a DISPLAY that names no server: $(cat "$work/out")"
done
grep -q "globalstab-host" "$work/out" || fail "--version says no name"

QT_QPA_PLATFORM=offscreen "$host" --screenshot "$work/tab.jpg" 2>"$work/err" ||
    fail "jpg screenshot: $(cat "$work/err")"
[ "$(od -An -tx1 -N3 "$work/tab.jpg" | tr -d ' ')" = "ffd8ff" ] || fail "tab.jpg is no JPEG"
if QT_QPA_PLATFORM=offscreen "$host" --screenshot "$work/tab.xyz" 2>"$work/err"; then
    fail "an unknown image extension was accepted"
fi
grep -q "extension" "$work/err" || fail "no reason given for tab.xyz: $(cat "$work/err")"

# The README's way to use the tab without a display: a VNC viewer connects and the server
# greets it with the protocol version.
port=$((20000 + $$ % 20000))
QT_QPA_PLATFORM="vnc:size=1020x700:port=$port" "$host" >"$work/vnc.log" 2>&1 &
pid=$!
for _ in $(seq 1 50); do
    if greeting=$(timeout 2 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port && head -c 12 <&3" 2>/dev/null) &&
        [ -n "$greeting" ]; then
        break
    fi
    sleep 0.2
done
case ${greeting:-} in
RFB\ 003.*) ;;
*) fail "no VNC server answered on port $port: $(cat "$work/vnc.log")" ;;
esac
echo OK

#!/bin/sh
# The demo host from a terminal: --help and --version whatever DISPLAY says; every option
# checked before a window is built; a run nobody watches never waits on a message box; a
# normal start prints nothing; the tab served over VNC to this machine only unless asked.
#
#   host_cli_test.sh HOST
set -eu
host=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/globalstab-host.XXXXXX")
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT INT TERM
pid=
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" TMPDIR="$work"
# Every run starts as in a container or a cron job: the host makes a private runtime folder.
unset XDG_RUNTIME_DIR
platform=offscreen
copy=$XDG_DATA_HOME/globalstab/globalstab-host/samples
fail() { echo "FAILED: $*"; exit 1; }
# Runs the host offscreen with a time limit, so that a run that waits fails instead of hanging
# the suite; its status in $status, stdout and stderr in $work/out and $work/err.
run() {
    status=0
    QT_QPA_PLATFORM=$platform timeout 60 "$host" "$@" >"$work/out" 2>"$work/err" ||
        status=$?
    [ "$status" -ne 124 ] || fail "the host hung with: $*"
}
# expect STATUS TEXT ARGUMENTS...: the run exits with STATUS and says TEXT on stderr.
expect() {
    want=$1 text=$2
    shift 2
    run "$@"
    [ "$status" -eq "$want" ] || fail "$* exited $status, not $want: $(cat "$work/err")"
    grep -qF -- "$text" "$work/err" || fail "$* did not say \"$text\": $(cat "$work/err")"
    case $(head -n 1 "$work/err") in
    globalstab-host:*) ;;
    *) fail "$*: the message lacks the program's name: $(cat "$work/err")" ;;
    esac
}

for option in --help --version; do
    env -u QT_QPA_PLATFORM DISPLAY=:97 "$host" "$option" >"$work/out" 2>&1 ||
        fail "$option with a DISPLAY that names no server: $(cat "$work/out")"
done
grep -q "globalstab-host" "$work/out" || fail "--version says no name"

# Wrong options are refused before a window is built: the samples are not even copied yet.
expect 2 "extension" --screenshot "$work/tab.xyz"
expect 2 "no folder" --screenshot "$work/missing/tab.png"
expect 2 "--preview-rename needs" --preview-rename "" --screenshot "$work/tab.png"
expect 2 "--preview-rename needs" --preview-rename " "
expect 2 "not a data root" --data-root "$work" --screenshot "$work/tab.png"
expect 2 "--vnc-listen" --vnc-listen localhost
[ ! -e "$copy" ] || fail "a refused command line still copied the samples"
[ ! -e "$work/tab.png" ] || fail "a refused command line still wrote a picture"

# Nowhere to show the window, and nothing to take a picture of: refused, never left waiting.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 60 "$host" >"$work/out" \
    2>"$work/err" && fail "started without a display"
grep -q "no display" "$work/err" || fail "no reason given without a display: $(cat "$work/err")"
expect 2 "shows no window"
platform=minimal
expect 2 "shows no window"
platform=offscreen

# A normal start prints nothing: no word of the runtime folder or of the platform.
run --screenshot "$work/tab.jpg"
[ "$status" -eq 0 ] || fail "jpg screenshot: $(cat "$work/err")"
[ ! -s "$work/err" ] || fail "a normal start printed: $(cat "$work/err")"
[ "$(od -An -tx1 -N3 "$work/tab.jpg" | tr -d ' ')" = "ffd8ff" ] || fail "tab.jpg is no JPEG"
runtime="$work/globalstab-host-runtime-$(id -u)"
[ "$(stat -c %a "$runtime" 2>/dev/null)" = 700 ] || fail "no private runtime folder at $runtime"
expect 2 "has no project \"Nope\"; it has \"Orion Suite 2024\"" --project Nope --screenshot "$work/x.png"

# A picture nobody watches: the tab's refusal goes to stderr and the host exits 1 at once,
# without a picture, instead of waiting on a message box offscreen.
expect 1 "Invalid Character(/)" --preview-rename "A/B" --screenshot "$work/plan.png"
grep -qF 'cannot be renamed to "A/B"' "$work/err" || fail "the refused rename is not named"
expect 1 "already Exists" --preview-rename "Vega Toolkit 3" --screenshot "$work/plan.png"
[ ! -e "$work/plan.png" ] || fail "a refused preview still wrote a picture"
run --preview-rename "Orchard Guide" --screenshot "$work/plan.png"
[ "$status" -eq 0 ] && [ -s "$work/plan.png" ] && [ ! -s "$work/err" ] ||
    fail "the plan of a rename: $status $(cat "$work/err")"

# On a display of X, too, a normal start says nothing.
if command -v xvfb-run >/dev/null; then
    xvfb-run -a sh -c 'QT_QPA_PLATFORM=xcb timeout 60 "$0" --screenshot "$1"' \
        "$host" "$work/xcb.png" >"$work/out" 2>"$work/err" ||
        fail "xcb screenshot: $(cat "$work/err")"
    [ ! -s "$work/err" ] || fail "a start on X printed: $(cat "$work/err")"
fi

# The README's way to use the tab without a display: a VNC viewer on this machine connects
# and the server greets it with the protocol version; nobody else can reach it.
port=$((20000 + $$ % 20000))
hexport=$(printf '%04X' "$port")
# serve [OPTIONS]: starts the host on Qt's VNC platform and waits for its greeting.
serve() {
    QT_QPA_PLATFORM="vnc:size=1020x700:port=$port" "$host" "$@" >"$work/vnc.log" 2>&1 &
    pid=$!
    greeting=
    for _ in $(seq 1 100); do
        if greeting=$(timeout 2 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port && head -c 12 <&3" \
            2>/dev/null) && [ -n "$greeting" ]; then
            break
        fi
        sleep 0.2
    done
    case $greeting in
    RFB\ 003.*) ;;
    *) fail "no VNC server answered on port $port: $(cat "$work/vnc.log")" ;;
    esac
}
# The local addresses the port listens on, as /proc/net shows them (hex, IPv4 and IPv6).
listening() {
    awk -v port=":$hexport" '$4 == "0A" && substr($2, length($2) - 4) == port {
        sub(/:.*/, "", $2); print $2 }' /proc/net/tcp /proc/net/tcp6
}
stop() {
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    pid=
}

serve
[ "$(listening)" = "0100007F" ] || fail "VNC listens on $(listening), not 127.0.0.1 alone"
[ "$(cat "$work/vnc.log")" = \
    "globalstab-host: serving the tab over VNC on 127.0.0.1 port $port (this machine only)" ] ||
    fail "the VNC start said: $(cat "$work/vnc.log")"
stop
serve --vnc-listen=0.0.0.0
[ "$(listening)" = "00000000" ] || fail "--vnc-listen=0.0.0.0 listens on $(listening)"
grep -q "without a password" "$work/vnc.log" || fail "no warning when open: $(cat "$work/vnc.log")"
stop
echo OK

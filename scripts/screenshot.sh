#!/usr/bin/env bash
# Takes a picture of Tarvix or TarvixS after a run against loopback, on a
# virtual X display of its own:
#
#   scripts/screenshot.sh Tarvix|TarvixS|TarvixS-long OUTPUT.png
#
# TarvixS-long instead runs TarvixS's form, its component set to ping until
# stopped (tests/simple_sample/picturehost.cpp; the program itself pings three
# times a run), in the tests' network namespaces against their host, which
# answers in 20 ms and drops every seventh request, for TARVIX_SCREENSHOT_WAIT
# seconds (default 150), and captures the chart with the keyboard's cursor on
# one request (tests/support/picturetool.cpp does it).
#
# Builds the program first where needed. The run needs an ICMP socket: run as
# root, or allow one as the README says. TARVIX_SCREENSHOT_WAIT sets how many
# seconds the run gets before the picture (default 6: enough for either
# program's requests, one a second). Whatever the script starts it stops again,
# also when something fails.
set -euo pipefail

usage() {
    echo "usage: $0 Tarvix|TarvixS|TarvixS-long OUTPUT.png" >&2
    exit 2
}

[ $# -eq 2 ] || usage
program=$1
output=$2
case "$program" in
    Tarvix) folder=full_sample ;;
    TarvixS) folder=simple_sample ;;
    TarvixS-long) folder=simple_sample ;;
    *) usage ;;
esac
case "$output" in
    /*) ;;
    *) output="$PWD/$output" ;;
esac
wait_seconds=${TARVIX_SCREENSHOT_WAIT:-6}

cd "$(dirname "$0")/.."
for tool in Xvfb xdotool import; do
    if ! command -v "$tool" >/dev/null; then
        echo "$0: $tool is missing; scripts/install-deps.sh installs it" >&2
        exit 1
    fi
done

dir=${TARVIX_BUILD_DIR:-build}
if [ "$program" = TarvixS-long ]; then
    [ -f "$dir/build.ninja" ] || scripts/build.sh
    cmake --build "$dir" --target tarvix_test_picture_host tarvix_test_picture
    mkdir -p "$(dirname "$output")"
    exec "$dir/tests/support/tarvix_test_picture" "$dir/tests/simple_sample/tarvix_test_picture_host" "$output" \
        "${TARVIX_SCREENSHOT_WAIT:-150}"
fi
if [ -f "$dir/build.ninja" ]; then
    cmake --build "$dir" --target "$program"
else
    scripts/build.sh
fi
binary="$dir/$folder/$program"

work=$(mktemp -d)
xvfb_pid=""
program_pid=""
cleanup() {
    local status=$?
    set +e
    if [ -n "$program_pid" ]; then
        kill "$program_pid" 2>/dev/null
        wait "$program_pid" 2>/dev/null
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    if [ "$status" -ne 0 ]; then
        for log in "$work"/*.log; do
            [ -s "$log" ] && { echo "--- $(basename "$log")"; cat "$log"; } >&2
        done
    fi
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() {
    echo "$0: $*" >&2
    exit 1
}

# Xvfb picks the first free display itself and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start"
    sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb named no display"
export DISPLAY=":$(head -n 1 "$work/display")"

QT_QPA_PLATFORM=xcb "$binary" >"$work/program.log" 2>&1 &
program_pid=$!

# The form's window: the visible one of our process.
window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$program_pid" | head -n 1) ||
    fail "$program showed no window"
[ -n "$window" ] || fail "$program showed no window"
timeout 10 xdotool windowfocus --sync "$window" || fail "the window took no focus"
sleep 0.5

# The host box has the focus when the form opens; Enter presses Ping, the
# default button.
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 30 127.0.0.1
xdotool key --clearmodifiers Return
sleep "$wait_seconds"

kill -0 "$program_pid" 2>/dev/null || fail "$program ended during the run"
mkdir -p "$(dirname "$output")"
import -window "$window" "$output"
echo "$output"

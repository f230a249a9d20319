#!/usr/bin/env bash
# Builds the program for the architecture that runs here (nothing else: the
# tests and benchmarks are the test command's) and runs it on Wine. On the
# user's X display it runs until the user closes it. With no display it runs
# under Xvfb, saves a screenshot to build/screenshot.png, closes the window
# through its close request (Alt+F4) and reports the exit status.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$ROOT/scripts/install-deps.sh"
source "$ROOT/scripts/session.sh"
trap stop_session EXIT
start_session

# The 32-bit product runs where the kernel executes 32-bit code; elsewhere the
# 64-bit build of the same sources does. Only the program that runs is built.
arch=i686
if ! runs_32bit; then
    echo "running the 64-bit build: $PROBE32_REASON, so this kernel cannot execute 32-bit code"
    arch=x64
fi
bash "$ROOT/scripts/build.sh" product "$arch"
exe="$ROOT/build/$arch/zudizazuz.exe"

# Wine's HTML engine, where one is installed, renders the pages; without one
# the browser still navigates but the area stays white.
if html_engine_installed; then
    export ZUDIZAZUZ_HTML_ENGINE=1
    export WINEDLLOVERRIDES="$(dll_overrides)"
    echo "Wine's HTML engine is installed: the browser renders the pages"
else
    echo "no Wine HTML engine (Wine Gecko) is installed: the browser navigates, but its area stays white"
fi

if [ -z "$STARTED_XVFB_PID" ]; then
    set +e
    "$ROOT/scripts/wine-run.sh" "$exe"
    status=$?
    echo "zudizazuz ended with exit status $status"
    exit "$status"
fi

"$ROOT/scripts/wine-run.sh" "$exe" &
program=$!
window=""
for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name '^Zudizazuz$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.05
done
if [ -z "$window" ]; then
    echo "the window did not appear" >&2
    kill "$program" 2>/dev/null || true
    exit 1
fi
sleep 1  # let it paint before the picture is taken
import -window root "$ROOT/build/screenshot.png"
echo "screenshot saved to $ROOT/build/screenshot.png"
xdotool windowfocus --sync "$window"
xdotool key alt+F4
set +e
wait "$program"
status=$?
echo "zudizazuz ended with exit status $status"
exit "$status"

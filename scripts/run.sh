#!/usr/bin/env bash
# Builds the program for the architecture that runs here (nothing else: the
# tests and benchmarks are the test command's) and runs it on Wine. On the
# user's X display it runs until the user closes it. With no display it runs
# under Xvfb, saves a screenshot to build/screenshot.png, closes the window
# through its close request (Alt+F4) and reports the exit status.
# ZUDIZAZUZ_DPI=144 runs it with the display at that DPI (150 %), set in the
# build's own prefix for this run only; the screenshot is then
# build/screenshot-144dpi.png.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$ROOT/scripts/install-deps.sh"
source "$ROOT/scripts/session.sh"
trap 'restore_display_dpi; stop_session' EXIT
start_session
if [ -n "${ZUDIZAZUZ_DPI:-}" ]; then
    set_display_dpi "$ZUDIZAZUZ_DPI"
    echo "the display is at $ZUDIZAZUZ_DPI DPI for this run"
fi

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
shot="$ROOT/build/screenshot${ZUDIZAZUZ_DPI:+-${ZUDIZAZUZ_DPI}dpi}.png"
import -window root "$shot"
echo "screenshot saved to $shot"
xdotool windowfocus --sync "$window"
xdotool key alt+F4
set +e
wait "$program"
status=$?
echo "zudizazuz ended with exit status $status"
exit "$status"

#!/usr/bin/env bash
# Builds the program for the architecture that runs here (nothing else: the
# tests and benchmarks are the test command's) and runs it on Wine. On the
# user's X display it runs until the user closes it. With no display it runs
# under Xvfb, saves a screenshot to build/screenshot.png, closes the window
# through its close request (Alt+F4) and reports the exit status.
# ZUDIZAZUZ_DPI=144 runs it with the display at that DPI (150 %), set in the
# build's own prefix for this run only; the screenshot is then
# build/screenshot-144dpi.png.
#
# It installs only what running the program needs here: the toolchain of the
# build it makes, Wine for that build alone and, without a display, Xvfb,
# xdotool and ImageMagick's import (the test command installs the rest). The
# toolchain comes first; the program then builds while Wine installs, and
# the Wine prefix is set up while the build finishes. At its end it prints
# how long each of these took.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/session.sh"
started=$SECONDS
mkdir -p "$ROOT/build"
times="$ROOT/build/run-command"  # what the background steps leave for this shell
rm -rf "$times"
mkdir -p "$times"

installing=""
building=""
prefix_setup=""
finish() {
    [ -z "$building" ] || kill -- "-$building" 2>/dev/null || true
    [ -z "$prefix_setup" ] || kill "$prefix_setup" 2>/dev/null || true
    # An install cut short leaves dpkg to be mended by hand: it ends first.
    [ -z "$installing" ] || wait "$installing" 2>/dev/null || true
    restore_display_dpi
    stop_session
}
trap finish EXIT

phases=()
phase() {  # WHAT SECONDS: a line of the summary printed at the end
    phases+=("run command: $1 ($2 s)")
}
seconds_of() {  # STEP: how long a background step took, as it wrote down
    cat "$times/$1.seconds"
}

# The 32-bit product runs where the kernel executes 32-bit code; elsewhere the
# 64-bit build of the same sources does. Only the program that runs is built.
choose_run_build
arch="$RUN_BUILD"

# The packages, in parts: the toolchain, then Wine (and the display's tools).
bash "$ROOT/scripts/install-deps.sh" --stage-file "$times/stages" $(run_command_deps "$arch") &
installing=$!
while [ ! -s "$times/stages" ] && kill -0 "$installing" 2>/dev/null; do sleep 0.1; done
if [ ! -s "$times/stages" ]; then
    status=0
    wait "$installing" || status=$?
    installing=""
    exit "$((status ? status : 1))"
fi
toolchain_ready=$SECONDS
phase "packages for the build" "$((toolchain_ready - started))"

# The build, in a process group of its own so that an interrupted run ends
# all of it. scripts/build.sh asks for the toolchain alone.
set -m
(
    start=$SECONDS
    ZUDIZAZUZ_DEPS="toolchain-$arch" bash "$ROOT/scripts/build.sh" product "$arch"
    status=$?
    echo "$((SECONDS - start))" >"$times/build.seconds"
    exit "$status"
) &
building=$!
set +m

wait "$installing"
installing=""
phase "packages for running it, beside the build" "$((SECONDS - toolchain_ready))"

# Wine's session: the display first, then the prefix, set up (when it is new)
# while the build goes on.
[ "$arch" = x64 ] || use_win32_prefix
start_display
prefix_step="the Wine prefix ($WINEARCH, $WINEPREFIX) was set up already"
[ -f "$WINEPREFIX/system.reg" ] || prefix_step="set the Wine prefix up ($WINEARCH, $WINEPREFIX), beside the build"
(
    start=$SECONDS
    setup_prefix
    echo "$((SECONDS - start))" >"$times/prefix.seconds"
) &
prefix_setup=$!
wait "$building"
building=""
phase "built the program (build/$arch/zudizazuz.exe)" "$(seconds_of build)"
wait "$prefix_setup"
prefix_setup=""
phase "$prefix_step" "$(seconds_of prefix)"
start_server
if [ -n "${ZUDIZAZUZ_DPI:-}" ]; then
    set_display_dpi "$ZUDIZAZUZ_DPI"
    echo "the display is at $ZUDIZAZUZ_DPI DPI for this run"
fi
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

# The phases so far, the program's run and the whole command.
report() {  # STATUS
    phase "ran the program" "$((SECONDS - ran_from))"
    echo "zudizazuz ended with exit status $1"
    printf '%s\n' "${phases[@]}"
    echo "the run command took $((SECONDS - started)) s"
}
ran_from=$SECONDS

if [ -z "$STARTED_XVFB_PID" ]; then
    set +e
    "$ROOT/scripts/wine-run.sh" "$exe"
    status=$?
    report "$status"
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
report "$status"
exit "$status"

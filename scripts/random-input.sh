#!/usr/bin/env bash
# A long run of the random-input test: the real program beside the browser
# stand-in, driven by ACTIONS seeded random user actions (20,000 by default)
# from SEED (a fresh one by default), on Wine under a virtual display. Prints
# the run's figures: seed, actions by kind, searches and new-window
# navigations checked, crashes, working set first and last, time.
#   scripts/random-input.sh [ACTIONS] [SEED]
# The test command runs the same test with 3,000 actions and a fixed seed.
# Like the test command, this runs the actions in two shards, a program each
# (RandomInputStandIn-1of2 and -2of2, one after the other here), each action
# with the same choices as in one whole run: a failure the test command
# reports replays here with its ACTIONS and SEED.
# The build (build/random-input-ARCH) and its Wine prefix are this script's
# own: the 32-bit build wherever this kernel executes 32-bit code, the
# 64-bit build elsewhere.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
actions="${1:-20000}"
seed="${2:-random}"
case "$actions" in ''|*[!0-9]*) echo "ACTIONS must be a number: $actions" >&2; exit 2 ;; esac

bash "$ROOT/scripts/install-deps.sh"
export WINEPREFIX="$ROOT/build/random-input-prefix"
ZUDIZAZUZ_OWN_DISPLAY=1
source "$ROOT/scripts/session.sh"
trap stop_session EXIT
start_session

if runs_32bit; then
    arch=i686
    which="the 32-bit build, the product as shipped"
else
    arch=x86_64
    which="the 64-bit build, since $PROBE32_REASON"
fi
dir="$ROOT/build/random-input-$arch"
cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" \
      -DZUDIZAZUZ_BENCH=OFF >/dev/null
cmake --build "$dir" -j 2 --target gadget_tests
install_standin "$dir/tests/standin/atl.dll"

echo "random input on $which: $actions actions, seed $seed"
export ZUDIZAZUZ_RANDOM_ACTIONS="$actions"
export ZUDIZAZUZ_RANDOM_SEED="$seed"
cd "$dir"
# About 30 ms an action here; the deadline leaves room for a slower machine.
ctest --output-on-failure --verbose --timeout $(( 300 + actions / 10 )) -R '^RandomInputStandIn-'

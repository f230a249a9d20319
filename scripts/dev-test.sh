#!/usr/bin/env bash
# For working on one part: builds a tree of its own into build/dev-NAME with a
# Wine prefix and a display of its own, then runs the tests whose names match
# REGEX. The 32-bit build by default; DEV_ARCH=x64 for the 64-bit one.
# DEV_LANES=2 runs the suites in two lanes, as the test command does (each
# with a display and a prefix of its own: build/dev-NAME/wineprefix and
# build/dev-NAME/wineprefix-lane2); one by default.
#   scripts/dev-test.sh NAME [REGEX] [more ctest arguments]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
name="$1"; regex="${2:-.}"; shift $(( $# >= 2 ? 2 : 1 ))
dir="$ROOT/build/dev-$name"
lanes="${DEV_LANES:-1}"
bash "$ROOT/scripts/install-deps.sh"
if [ "${DEV_ARCH:-i686}" = x64 ]; then
    [ -f "$ROOT/build/i686/zudizazuz.exe" ] || bash "$ROOT/scripts/build.sh" product i686
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake" \
          -DPRODUCT_EXE32="$ROOT/build/i686/zudizazuz.exe" -DZUDIZAZUZ_BENCH=OFF >/dev/null
else
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
          -DZUDIZAZUZ_BENCH=OFF >/dev/null
fi
cmake --build "$dir" -j 2
source "$ROOT/scripts/session.sh"
trap stop_lanes EXIT
start_lane_displays "$lanes" "$dir/wineprefix"
set_up_lane_prefixes
start_lane_servers
install_standin_in_lanes "$dir/tests/standin/atl.dll"
write_lane_spec "$dir/lanes.json"
cd "$dir"
ctest --output-on-failure --timeout 300 -j "$lanes" --resource-spec-file "$dir/lanes.json" -R "$regex" "$@"

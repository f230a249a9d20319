#!/usr/bin/env bash
# For working on one part: builds a tree of its own into build/dev-NAME with a
# Wine prefix and a display of its own, then runs the tests whose names match
# REGEX. The 32-bit build by default; DEV_ARCH=x64 for the 64-bit one.
#   scripts/dev-test.sh NAME [REGEX] [more ctest arguments]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
name="$1"; regex="${2:-.}"; shift $(( $# >= 2 ? 2 : 1 ))
dir="$ROOT/build/dev-$name"
bash "$ROOT/scripts/install-deps.sh"
if [ "${DEV_ARCH:-i686}" = x64 ]; then
    [ -f "$ROOT/build/i686/zudizazuz.exe" ] || bash "$ROOT/scripts/build.sh"
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake" \
          -DPRODUCT_EXE32="$ROOT/build/i686/zudizazuz.exe" -DZUDIZAZUZ_BENCH=OFF >/dev/null
else
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
          -DZUDIZAZUZ_BENCH=OFF >/dev/null
fi
cmake --build "$dir" -j 2
export WINEPREFIX="$dir/wineprefix"
ZUDIZAZUZ_OWN_DISPLAY=1
source "$ROOT/scripts/session.sh"
trap stop_session EXIT
start_session
crashes_end_at_once
install_standin "$dir/tests/standin/atl.dll"
cd "$dir"
ctest --output-on-failure --timeout 300 -R "$regex" "$@"

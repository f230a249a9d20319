#!/usr/bin/env bash
# For working on one part: builds the 64-bit tree into build/dev-NAME with a
# Wine prefix of its own, then runs the tests whose names match REGEX.
#   scripts/dev-test.sh NAME [REGEX]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
name="$1"; regex="${2:-.}"
[ -f "$ROOT/build/i686/zudizazuz.exe" ] || bash "$ROOT/scripts/build.sh"
cmake -S "$ROOT" -B "$ROOT/build/dev-$name" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake" \
      -DPRODUCT_EXE32="$ROOT/build/i686/zudizazuz.exe" >/dev/null
cmake --build "$ROOT/build/dev-$name" -j 2
export WINEPREFIX="$ROOT/build/dev-$name/wineprefix"
ZUDIZAZUZ_OWN_DISPLAY=1
source "$ROOT/scripts/session.sh"
trap stop_session EXIT
start_session
cd "$ROOT/build/dev-$name"
ctest --output-on-failure --timeout 120 -R "$regex"

#!/usr/bin/env bash
# Builds everything and runs the benchmarks on Wine under a virtual display of
# their own. They print figures and never fail on timing.
#   scripts/bench.sh             build with scripts/build.sh, run build/x64's benchmarks
#   scripts/bench.sh BUILD_DIR   run the benchmarks of an already configured tree
#                                (built first); WINEPREFIX may point at its own prefix
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BENCHES=(pump_bench registry_bench)

if [ $# -ge 1 ]; then
    dir="$(cd "$1" && pwd)"
    cmake -DZUDIZAZUZ_BENCH=ON "$dir" >/dev/null
    cmake --build "$dir" -j 2 --target "${BENCHES[@]}"
else
    bash "$ROOT/scripts/build.sh"
    dir="$ROOT/build/x64"
    # A tree first configured while the benchmarks were off keeps them off in
    # its cache; switch them on there.
    if ! grep -q '^ZUDIZAZUZ_BENCH:BOOL=ON' "$dir/CMakeCache.txt"; then
        cmake -DZUDIZAZUZ_BENCH=ON "$dir" >/dev/null
        cmake --build "$dir" -j "$(nproc)" --target "${BENCHES[@]}"
    fi
fi

ZUDIZAZUZ_OWN_DISPLAY=1
source "$ROOT/scripts/session.sh"
trap stop_session EXIT
start_session
for bench in "${BENCHES[@]}"; do
    echo "=== $bench"
    "$ROOT/scripts/wine-run.sh" "$dir/bench/$bench.exe"
    echo
done

#!/usr/bin/env bash
# Builds everything and runs the benchmarks on Wine under a virtual display of
# their own. They print figures and never fail on timing.
#   scripts/bench.sh             build with scripts/build.sh, run build/x64's benchmarks
#   scripts/bench.sh BUILD_DIR   run the benchmarks of an already configured tree
#                                (built first); WINEPREFIX may point at its own prefix
# The launch benchmark measures the whole program against bare programs; it
# reads the size of the 32-bit product build/i686/zudizazuz.exe.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BENCHES=(pump_bench registry_bench)
# launch_bench depends on the bare programs, the program and its copy beside
# the browser stand-in, so building it builds them.
TARGETS=("${BENCHES[@]}" launch_bench)

if [ $# -ge 1 ]; then
    dir="$(cd "$1" && pwd)"
    cmake -DZUDIZAZUZ_BENCH=ON "$dir" >/dev/null
    cmake --build "$dir" -j 2 --target "${TARGETS[@]}"
else
    bash "$ROOT/scripts/build.sh"
    dir="$ROOT/build/x64"
    # A tree first configured while the benchmarks were off keeps them off in
    # its cache; switch them on there.
    if ! grep -q '^ZUDIZAZUZ_BENCH:BOOL=ON' "$dir/CMakeCache.txt"; then
        cmake -DZUDIZAZUZ_BENCH=ON "$dir" >/dev/null
    fi
    cmake --build "$dir" -j "$(nproc)" --target "${TARGETS[@]}"
fi

ZUDIZAZUZ_OWN_DISPLAY=1
source "$ROOT/scripts/session.sh"
trap stop_session EXIT

# The wine server of this run's prefix: the one whose working directory is the
# prefix's server directory (others may run beside it for other prefixes).
prefix_server_pid() {
    # The directory's name is made of the prefix's device and inode numbers;
    # where it lies (/tmp/.wine-UID, or a private temporary folder) varies.
    local server_dir
    server_dir="server-$(stat -c '%D' "$WINEPREFIX")-$(printf '%x' "$(stat -c '%i' "$WINEPREFIX")")"
    for proc in /proc/[0-9]*; do
        case "$(cat "$proc/comm" 2>/dev/null)" in wineserver*) ;; *) continue ;; esac
        if [ "$(basename "$(readlink "$proc/cwd" 2>/dev/null)")" = "$server_dir" ]; then
            echo "${proc#/proc/}"
            return
        fi
    done
    echo 0
}

# One persistent wine server for the whole run. The session's own Wine calls
# (reg add) start a server before the session asks for a persistent one, and
# that server leaves a few seconds after its last client; the launch benchmark
# measures start-up with a persistent server and reads the server's CPU time.
if [ -f "$WINEPREFIX/system.reg" ]; then "$WINESERVER" -p >/dev/null 2>&1 || true; fi
start_session
server_pid="$(prefix_server_pid)"
if [ "$server_pid" = 0 ] || ! tr '\0' ' ' <"/proc/$server_pid/cmdline" | grep -q -- ' -p'; then
    "$WINESERVER" -w >/dev/null 2>&1 || true
    "$WINESERVER" -p >/dev/null 2>&1 || true
fi

for bench in "${BENCHES[@]}"; do
    echo "=== $bench"
    "$ROOT/scripts/wine-run.sh" "$dir/bench/$bench.exe"
    echo
done

echo "=== launch_bench"
# The stand-in run first: Wine takes the DLL load order from the environment
# a process starts in, so the program beside the stand-in atl.dll (atl=n) is
# timed in a run of its own, which leaves its figures for the main run.
banner_file="$dir/bench/launch_bench_banner.txt"
rm -f "$banner_file"
ZUDIZAZUZ_ATL=n "$ROOT/scripts/wine-run.sh" "$dir/bench/launch_bench.exe" \
    --banner-only 1 --banner-file "$banner_file" \
    --rounds "${LAUNCH_BENCH_ROUNDS:-7}" --trace "${LAUNCH_BENCH_TRACE:-0}"
echo
"$ROOT/scripts/wine-run.sh" "$dir/bench/launch_bench.exe" \
    --product32 "$ROOT/build/i686/zudizazuz.exe" --banner-file "$banner_file" \
    --server-pid "$(prefix_server_pid)" \
    --rounds "${LAUNCH_BENCH_ROUNDS:-7}" --idle-seconds "${LAUNCH_BENCH_IDLE_SECONDS:-10}" \
    --trace "${LAUNCH_BENCH_TRACE:-0}"

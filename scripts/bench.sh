#!/usr/bin/env bash
# Builds the benchmarks and runs them on Wine under a virtual display and in a
# Wine prefix of their own (build/bench-prefix unless WINEPREFIX names one).
# They print figures and never fail on timing.
#   scripts/bench.sh             the 32-bit product and 32-bit benchmarks
#                                (build/bench-i686) wherever this machine's
#                                kernel executes 32-bit code, the 64-bit build
#                                (build/bench-x64) elsewhere; the output says which
#                                (BENCH_ARCH=x64 asks for the 64-bit build anywhere)
#   scripts/bench.sh BUILD_DIR   the benchmarks of an already configured tree
#                                (built first, benchmarks and tests switched on)
# The benchmarks are built for the architecture of what they measure: the
# launch benchmark, the bare programs and the hand-written program come from
# the same tree as the program. The trees are the benchmarks' own, configured
# as scripts/build.sh configures build/i686 and build/x64 but with the
# benchmarks on; only the targets the benchmarks need are built (the tests'
# browser stand-in atl.dll among them, not the tests).
# Environment: LAUNCH_BENCH_ROUNDS (7), LAUNCH_BENCH_IDLE_SECONDS (10),
# LAUNCH_BENCH_TRACE (0; 1 prints every launch), LAUNCH_BENCH_VARIANTS (1; 0
# leaves out the start-up run of the hand-written program's variants),
# LAUNCH_BENCH_VARIANT_ROUNDS (11),
# LAUNCH_BENCH_REQUESTS (1; 0 leaves out the count of wine-server requests).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BENCHES=(pump_bench registry_bench)
# launch_bench depends on the program, the bare programs, the hand-written
# program and its variants, and the browser stand-in, so building it builds them.
TARGETS=("${BENCHES[@]}" launch_bench)

export WINEPREFIX="${WINEPREFIX:-$ROOT/build/bench-prefix}"
bash "$ROOT/scripts/install-deps.sh"

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

configure() {  # TREE TOOLCHAIN
    cmake -S "$ROOT" -B "$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$2" \
          -DZUDIZAZUZ_TESTS=ON -DZUDIZAZUZ_BENCH=ON >/dev/null
}

# One persistent wine server for the whole run. The session's own Wine calls
# (reg add) start a server before the session asks for a persistent one, and
# that server leaves a few seconds after its last client; the launch benchmark
# measures start-up with a persistent server and reads the server's CPU time.
if [ -f "$WINEPREFIX/system.reg" ]; then "$WINESERVER" -p >/dev/null 2>&1 || true; fi
start_session
crashes_end_at_once

product32=""
if [ $# -ge 1 ]; then
    dir="$(cd "$1" && pwd)"
    cmake -DZUDIZAZUZ_TESTS=ON -DZUDIZAZUZ_BENCH=ON "$dir" >/dev/null
    cmake --build "$dir" -j 2 --target "${TARGETS[@]}"
    case "$(file -b "$dir/bench/launch_bench.exe")" in
        *x86-64*) which="the 64-bit build in $dir" ;;
        *) which="the 32-bit build in $dir" ;;
    esac
elif [ "${BENCH_ARCH:-}" != x64 ] && runs_32bit; then
    dir="$ROOT/build/bench-i686"
    configure "$dir" mingw-i686.cmake
    cmake --build "$dir" -j 2 --target "${TARGETS[@]}"
    which="the 32-bit build (build/bench-i686: the product as shipped, 32-bit benchmarks and comparators)"
else
    dir="$ROOT/build/bench-x64"
    configure "$dir" mingw-x86_64.cmake
    cmake --build "$dir" -j 2 --target "${TARGETS[@]}"
    # The 32-bit product cannot run here; it is built for its size only.
    configure "$ROOT/build/bench-i686" mingw-i686.cmake
    cmake --build "$ROOT/build/bench-i686" -j 2 --target zudizazuz
    product32="$ROOT/build/bench-i686/zudizazuz.exe"
    if [ "${BENCH_ARCH:-}" = x64 ]; then
        which="the 64-bit build (build/bench-x64), as BENCH_ARCH=x64 asks"
    else
        which="the 64-bit build (build/bench-x64), since $PROBE32_REASON"
    fi
fi
# The browser stand-in of the same architecture, as the prefix's own atl.dll.
install_standin "$dir/tests/standin/atl.dll"

server_pid="$(prefix_server_pid)"
if [ "$server_pid" = 0 ] || ! tr '\0' ' ' <"/proc/$server_pid/cmdline" | grep -q -- ' -p'; then
    "$WINESERVER" -w >/dev/null 2>&1 || true
    "$WINESERVER" -p >/dev/null 2>&1 || true
fi

echo "benchmarks run on $which"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo

for bench in "${BENCHES[@]}"; do
    echo "=== $bench"
    "$ROOT/scripts/wine-run.sh" "$dir/bench/$bench.exe"
    echo
done

echo "=== launch_bench"
# The stand-in run first: Wine takes the DLL load order from the environment
# a process starts in, so the program and the hand-written program beside
# the stand-in atl.dll (atl=n) are timed in a run of their own, which leaves
# its figures for the main run.
banner_file="$dir/bench/launch_bench_banner.txt"
rm -f "$banner_file"
ZUDIZAZUZ_ATL=n "$ROOT/scripts/wine-run.sh" "$dir/bench/launch_bench.exe" \
    --banner-only 1 --banner-file "$banner_file" \
    --rounds "${LAUNCH_BENCH_ROUNDS:-7}" --trace "${LAUNCH_BENCH_TRACE:-0}"
echo
"$ROOT/scripts/wine-run.sh" "$dir/bench/launch_bench.exe" \
    --product32 "$product32" --banner-file "$banner_file" \
    --server-pid "$(prefix_server_pid)" \
    --rounds "${LAUNCH_BENCH_ROUNDS:-7}" --idle-seconds "${LAUNCH_BENCH_IDLE_SECONDS:-10}" \
    --trace "${LAUNCH_BENCH_TRACE:-0}"

if [ "${LAUNCH_BENCH_VARIANTS:-1}" = 1 ]; then
    echo
    echo "=== launch_bench: where start-up time goes (hand-written variants, no idle period)"
    also=()
    for variant in hand_no_form hand_no_colours hand_no_browser hand_no_ccinit hand_no_manifest; do
        also+=(--also "$variant=$dir/bench/$variant.exe")
    done
    "$ROOT/scripts/wine-run.sh" "$dir/bench/launch_bench.exe" "${also[@]}" \
        --rounds "${LAUNCH_BENCH_VARIANT_ROUNDS:-11}" --idle-seconds 0 --trace "${LAUNCH_BENCH_TRACE:-0}"
fi

if [ "${LAUNCH_BENCH_REQUESTS:-1}" = 1 ]; then
    # Counted, not timed: each candidate launched once under a wine server that
    # traces every request (-d1) to a file, the idle period 2 s; the launch
    # benchmark marks painted and the idle period in the trace.
    echo
    echo "=== wine-server requests: one launch each under a tracing server, idle 2 s"
    trace="$dir/bench/server_trace.txt"
    "$WINESERVER" -k >/dev/null 2>&1 || true
    "$WINESERVER" -w >/dev/null 2>&1 || true
    "$WINESERVER" -f -p -d1 2>"$trace" &
    tracing_server=$!
    for _ in $(seq 100); do [ "$(prefix_server_pid)" != 0 ] && break; sleep 0.05; done
    "$ROOT/scripts/wine-run.sh" "$dir/bench/launch_bench.exe" --rounds 1 --idle-seconds 2 >/dev/null
    "$WINESERVER" -k >/dev/null 2>&1 || true
    wait "$tracing_server" 2>/dev/null || true
    LC_ALL=C awk -v idle_seconds=2 -f "$ROOT/bench/server_requests.awk" "$trace"
    rm -f "$trace"
fi
echo
echo "benchmarks ran on $which"

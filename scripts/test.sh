#!/usr/bin/env bash
# Builds what the suites need and runs every test on Wine under virtual
# displays: on the 32-bit build, the product as shipped, wherever this
# machine's kernel executes 32-bit code; elsewhere on the 64-bit build of the
# same sources. The suites run side by side in lanes (ZUDIZAZUZ_TEST_LANES, 2
# by default), each with a display, a Wine prefix and a wine server of its
# own (build/test-prefix, build/test-prefix-lane2, ...), since tests type
# keys, take screenshots and write the prefix's registry, and the browser
# stand-in becomes each prefix's atl.dll. The benchmarks of the build the
# suites run on are built with the tests, so that they keep building.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
started=$SECONDS
phase=$SECONDS
took() {  # WHAT: the phase just ended, and how long it took
    echo "test command: $1 ($((SECONDS - phase)) s)"
    phase=$SECONDS
}

lanes="${ZUDIZAZUZ_TEST_LANES:-2}"
case "$lanes" in ''|*[!0-9]*|0) echo "ZUDIZAZUZ_TEST_LANES must be a number from 1: $lanes" >&2; exit 2 ;; esac
first_prefix="${WINEPREFIX:-$ROOT/build/test-prefix}"
source "$ROOT/scripts/session.sh"

# What the suites need here, by what the kernel says before anything
# installs (build.sh, which installs too, then asks for nothing more).
if kernel_runs_32bit; then guess=i686 runs32=yes; else guess=x64 runs32=no; fi
export ZUDIZAZUZ_DEPS="$(test_command_deps "$runs32")"
bash "$ROOT/scripts/install-deps.sh"
took "installed what was missing"
prefix_setup=""
finish() {
    [ -z "$prefix_setup" ] || kill "$prefix_setup" 2>/dev/null || true
    stop_lanes
}
trap finish EXIT
mkdir -p "$ROOT/build"
start_lane_displays "$lanes" "$first_prefix"

# Which build the suites run on is settled by a 32-bit Windows program under
# Wine (runs_32bit), in a prefix that is set up, and setting a new prefix up
# takes a while. The prefixes are set up meanwhile, and the build goes ahead
# on what the kernel said: where it cannot execute a 32-bit Linux program, no
# 32-bit Windows program runs either.
prefix_log="$ROOT/build/test-prefix-setup.log"
set_up_lane_prefixes >"$prefix_log" 2>&1 &
prefix_setup=$!
bash "$ROOT/scripts/build.sh" tests "$guess"
took "built what the suites on build/$guess need"
if ! wait "$prefix_setup"; then
    prefix_setup=""
    cat "$prefix_log" >&2
    echo "the tests' Wine prefixes could not be set up" >&2
    exit 1
fi
prefix_setup=""
start_lane_servers
took "set up $lanes lanes, on displays $(lane_displays)"

if runs_32bit; then
    tree=i686
    which="the 32-bit build (build/i686), the product as shipped"
else
    tree=x64
    which="the 64-bit build (build/x64), since $PROBE32_REASON"
fi
echo "tests run on $which"
if [ "$tree" != "$guess" ]; then
    echo "(the kernel had said otherwise: building for build/$tree now)"
    bash "$ROOT/scripts/install-deps.sh" toolchain-x64
    bash "$ROOT/scripts/build.sh" tests "$tree"
    took "built what the suites on build/$tree need"
fi
install_standin_in_lanes "$ROOT/build/$tree/tests/standin/atl.dll"

# One lane a test: ctest gives each test one of the lanes and runs at most one
# test in a lane at a time; scripts/wine-run.sh puts the test on its lane's
# display and in its lane's prefix. The costliest tests start first.
spec="$ROOT/build/$tree/lanes.json"
write_lane_spec "$spec"
log="$ROOT/build/$tree/Testing/test-command.log"
mkdir -p "$(dirname "$log")"
cd "$ROOT/build/$tree"
set +e
ctest --output-on-failure --timeout 300 -j "$lanes" --resource-spec-file "$spec" "$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
set -e
# How evenly the lanes were filled: the time they stood idle while another
# lane still ran, all lanes together.
suites_took=$((SECONDS - phase))
tests_took="$(tests_seconds "$log")"
took "ran the tests"
echo "test command: the tests took $tests_took s in $lanes lanes over $suites_took s:" \
     "the lanes stood idle $(( lanes * suites_took > tests_took ? lanes * suites_took - tests_took : 0 )) s in all"

echo "the three longest tests:"
longest_tests "$log" 3
echo "tests ran on $which; the test command took $((SECONDS - started)) s"
exit "$status"

#!/usr/bin/env bash
# Builds everything and runs every test on Wine under a virtual display: on
# the 32-bit build, the product as shipped, wherever this machine's kernel
# executes 32-bit code; elsewhere on the 64-bit build of the same sources.
# The tests have a Wine prefix of their own (build/test-prefix), since the
# browser stand-in becomes that prefix's atl.dll.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$ROOT/scripts/build.sh"
export WINEPREFIX="${WINEPREFIX:-$ROOT/build/test-prefix}"
ZUDIZAZUZ_OWN_DISPLAY=1
source "$ROOT/scripts/session.sh"
trap stop_session EXIT
start_session
crashes_end_at_once

if runs_32bit; then
    tree=i686
    which="the 32-bit build (build/i686), the product as shipped"
else
    tree=x64
    which="the 64-bit build (build/x64); the 32-bit run was skipped: $PROBE32_REASON, so this kernel cannot execute 32-bit code"
fi
echo "tests run on $which"
install_standin "$ROOT/build/$tree/tests/standin/atl.dll"
cd "$ROOT/build/$tree"
set +e
ctest --output-on-failure --timeout 300 "$@"
status=$?
set -e
echo "tests ran on $which"
exit "$status"

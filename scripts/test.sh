#!/usr/bin/env bash
# Builds everything and runs every test on Wine under a virtual display.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$ROOT/scripts/build.sh"
ZUDIZAZUZ_OWN_DISPLAY=1
source "$ROOT/scripts/session.sh"
trap stop_session EXIT
start_session
cd "$ROOT/build/x64"
ctest --output-on-failure --timeout 300 "$@"

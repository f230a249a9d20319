#!/usr/bin/env bash
# Runs a Windows program on Wine in the project's environment; under the test
# command's lanes, on the display and in the prefix of the test's lane.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
enter_ctest_lane || exit 1
exec "$(wine_loader_for "$1")" "$@"

#!/usr/bin/env bash
# Runs a Windows program on Wine in the project's environment.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
exec "$(wine_loader_for "$1")" "$@"

#!/usr/bin/env bash
# Builds the 32-bit product with its tests (build/i686) and the 64-bit build
# of the same sources with the tests and benchmarks (build/x64).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$ROOT/scripts/install-deps.sh"
jobs=$(nproc)
cmake -S "$ROOT" -B "$ROOT/build/i686" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
      -DZUDIZAZUZ_TESTS=ON -DZUDIZAZUZ_BENCH=OFF >/dev/null
cmake --build "$ROOT/build/i686" -j "$jobs"
cmake -S "$ROOT" -B "$ROOT/build/x64" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake" \
      -DPRODUCT_EXE32="$ROOT/build/i686/zudizazuz.exe" >/dev/null
cmake --build "$ROOT/build/x64" -j "$jobs"

#!/usr/bin/env bash
# Builds the 32-bit product with its tests (build/i686) and the 64-bit build
# of the same sources with the tests and benchmarks (build/x64):
#   scripts/build.sh                  everything, for the test command
#   scripts/build.sh product ARCH     only the program, ARCH i686 or x64, for the run command
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$ROOT/scripts/install-deps.sh"
jobs=$(nproc)

configure() {
    case "$1" in
        i686) cmake -S "$ROOT" -B "$ROOT/build/i686" -G Ninja \
                    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
                    -DZUDIZAZUZ_TESTS=ON -DZUDIZAZUZ_BENCH=OFF >/dev/null ;;
        x64) cmake -S "$ROOT" -B "$ROOT/build/x64" -G Ninja \
                   -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake" \
                   -DPRODUCT_EXE32="$ROOT/build/i686/zudizazuz.exe" >/dev/null ;;
    esac
}

if [ "${1:-}" = product ]; then
    arch="${2:?which build: i686 or x64}"
    configure "$arch"
    cmake --build "$ROOT/build/$arch" -j "$jobs" --target zudizazuz
    exit 0
fi
for arch in i686 x64; do
    configure "$arch"
    cmake --build "$ROOT/build/$arch" -j "$jobs"
done

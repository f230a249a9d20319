#!/usr/bin/env bash
# Builds the 32-bit tree (build/i686: the product, its tests and benchmarks)
# and the 64-bit tree of the same sources (build/x64: the same for 64-bit
# Windows), whole or in the parts a command needs:
#   scripts/build.sh                  both trees whole
#   scripts/build.sh tests ARCH       what the test command needs when the
#                                     suites run on ARCH: that tree's product,
#                                     tests and benchmarks (the benchmarks
#                                     build with the tests, so that they keep
#                                     building; they run with scripts/bench.sh),
#                                     and on x64 the 32-bit product too (the
#                                     release and export tests read it)
#   scripts/build.sh product ARCH     only the program, for the run command
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$ROOT/scripts/install-deps.sh"
jobs=$(nproc)

configure() {
    local dir="$ROOT/build/$1" args=()
    case "$1" in
        i686) args=(-DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake"
                    -DZUDIZAZUZ_TESTS=ON -DZUDIZAZUZ_BENCH=ON) ;;
        x64) args=(-DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake"
                   -DPRODUCT_EXE32="$ROOT/build/i686/zudizazuz.exe") ;;
        *) echo "no such build: $1 (i686 or x64)" >&2; return 2 ;;
    esac
    # A tree configured with the same arguments is left to ninja, which
    # configures it again itself when a CMakeLists.txt changes; nothing
    # rewrites its files while the test command's ctest reads them.
    if [ -f "$dir/build.ninja" ] && [ "$(cat "$dir/configured-with" 2>/dev/null)" = "${args[*]}" ]; then
        return 0
    fi
    cmake -S "$ROOT" -B "$dir" -G Ninja "${args[@]}" >/dev/null
    printf '%s\n' "${args[*]}" >"$dir/configured-with"
}

build() {  # ARCH [TARGET...]: the tree whole when no target is named
    local arch="$1"; shift
    configure "$arch"
    local targets=()
    [ $# -gt 0 ] && targets=(--target "$@")
    cmake --build "$ROOT/build/$arch" -j "$jobs" "${targets[@]}"
}

# The Ninja generator's targets for a folder: everything built there and what
# it needs, so that a new test program or benchmark needs no name here.
case "${1:-}" in
    product)
        build "${2:?which build: i686 or x64}" zudizazuz ;;
    tests)
        case "${2:?on which build the suites run: i686 or x64}" in
            i686) build i686 ;;
            x64) build i686 zudizazuz
                 build x64 tests/all bench/all ;;
            *) echo "no such build: $2 (i686 or x64)" >&2; exit 2 ;;
        esac ;;
    "")
        build i686
        build x64 ;;
    *)
        echo "usage: scripts/build.sh [tests ARCH | product ARCH]" >&2
        exit 2 ;;
esac

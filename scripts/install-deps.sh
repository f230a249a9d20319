#!/usr/bin/env bash
# Installs what building and testing need, from Debian's packages only.
# Idempotent: does nothing when everything is already there.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_cmd i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686)
have_cmd x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
have_cmd cmake || need+=(cmake)
have_cmd file || need+=(file)
have_cmd ninja || need+=(ninja-build)
have_cmd Xvfb || need+=(xvfb)
have_cmd xdotool || need+=(xdotool)
have_cmd import || need+=(imagemagick)
dpkg -s fonts-wine >/dev/null 2>&1 || need+=(fonts-wine)  # Marlett draws the caption buttons
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
# wine32 runs the 32-bit product where the kernel executes 32-bit code; wine64
# runs the 64-bit build of the same sources everywhere else.
dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine wine32:i386)
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

if [ ${#need[@]} -gt 0 ]; then
    echo "installing: ${need[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

#!/usr/bin/env bash
# Installs what the commands need, from Debian's packages only, in groups:
#   toolchain-i686, toolchain-x64   the compilers for build/i686 or build/x64,
#                                   with cmake, ninja, file and GoogleTest's
#                                   sources (every tree's configure reads them)
#   wine-i686                       32-bit Wine alone (the i386 architecture)
#   wine-x64                        64-bit Wine
#   display                         Xvfb, xdotool and ImageMagick's import,
#                                   for a machine without a display
#   scripts/install-deps.sh [--list] [--stage-file FILE] [GROUP... [then GROUP...]...]
# With no group named: every group (what the test command needs), or the
# groups in ZUDIZAZUZ_DEPS when it is set (the run command sets it, so that
# scripts/build.sh, which calls this script too, installs nothing more).
# "then" splits the groups into parts installed one after another, with one
# apt-get update for all; --stage-file appends a line to FILE as each part is
# there, so that the run command builds while Wine installs.
# --list prints what each part would install here and installs nothing.
# apt's output goes to build/install-deps.log and is shown only when it fails.
# Does nothing when everything is already there.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages_of() {  # GROUP
    case "$1" in
        toolchain-i686) echo g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 \
                             cmake ninja-build file googletest ;;
        toolchain-x64) echo g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
                            cmake ninja-build file googletest ;;
        # Marlett (fonts-wine) draws the caption buttons. The wine package
        # is the "wine" command; with wine32 named it brings no 64-bit Wine.
        wine-i686) echo wine wine32:i386 fonts-wine ;;
        wine-x64) echo wine wine64 fonts-wine ;;
        display) echo xvfb xdotool imagemagick ;;
        *) echo "no such group of packages: $1" >&2; return 2 ;;
    esac
}

installed() {  # PACKAGE
    [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" = installed ]
}

list=0
stage_file=""
stages=("")
while [ $# -gt 0 ]; do
    case "$1" in
        --list) list=1 ;;
        --stage-file) stage_file="$2"; shift ;;
        then) stages+=("") ;;
        *) stages[-1]+=" $1" ;;
    esac
    shift
done
named="${stages[*]}"
if [ -z "${named// /}" ]; then
    stages=("${ZUDIZAZUZ_DEPS:-toolchain-i686 toolchain-x64 wine-i686 wine-x64 display}")
fi

# What each part needs that is not installed yet; a package is counted once.
missing=()
declare -A counted=()
for stage in "${stages[@]}"; do
    need=""
    for group in $stage; do
        packages_of "$group" >/dev/null || exit 2
        for package in $(packages_of "$group"); do
            [ -z "${counted[$package]:-}" ] || continue
            counted[$package]=1
            installed "$package" || need+=" $package"
        done
    done
    missing+=("${need# }")
done

if [ "$list" = 1 ]; then
    for index in "${!stages[@]}"; do
        echo "${stages[$index]# }: ${missing[$index]:-nothing to install}"
    done
    exit 0
fi

mark_stage() {  # INDEX
    [ -z "$stage_file" ] || echo "${stages[$1]# }" >>"$stage_file"
}

everything="${missing[*]}"
if [ -z "${everything// /}" ]; then
    for index in "${!stages[@]}"; do mark_stage "$index"; done
    exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
mkdir -p "$ROOT/build"
log="$ROOT/build/install-deps.log"
: >"$log"
apt_quietly() {  # WHAT APT-GET-ARGUMENTS...: apt's output to the log, shown when it fails
    local what="$1"; shift
    if ! $SUDO env DEBIAN_FRONTEND=noninteractive apt-get -q -o DPkg::Lock::Timeout=300 "$@" >>"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "$what failed; apt's whole output is in $log" >&2
        exit 1
    fi
}

case "$everything" in
    *:i386*)
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            $SUDO dpkg --add-architecture i386
        fi ;;
esac
apt_quietly "apt-get update" update
for index in "${!stages[@]}"; do
    if [ -n "${missing[$index]}" ]; then
        echo "installing ${missing[$index]}"
        # shellcheck disable=SC2086  # one word a package
        apt_quietly "installing ${missing[$index]}" install -y --no-install-recommends ${missing[$index]}
    fi
    mark_stage "$index"
done

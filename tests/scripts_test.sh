#!/usr/bin/env bash
# The run command's environment, checked without Wine: whether it finds Wine's
# HTML engine (stand-in folders with and without an engine in each place Wine
# looks), and the DLL overrides that follow. Run by ctest as a plain Linux
# program; prints each case and ends with status 1 when any case fails.
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0

check() {  # what, expected (yes/no), actual (yes/no)
    if [ "$2" = "$3" ]; then
        echo "ok   $1: $3"
    else
        echo "FAIL $1: expected $2, got $3"
        failures=$((failures + 1))
    fi
}

# Runs html_engine_installed in a fresh shell with the stand-in folders:
# Wine's data folder, the user's home (its cache) and the prefix.
engine_found() {
    (
        export ZUDIZAZUZ_WINE_DATADIR="$scratch/data" HOME="$scratch/home" WINEPREFIX="$scratch/prefix"
        unset XDG_CACHE_HOME
        source "$ROOT/scripts/wine-env.sh" 2>/dev/null
        html_engine_installed && echo yes || echo no
    )
}

overrides() {  # ZUDIZAZUZ_HTML_ENGINE value
    (
        export ZUDIZAZUZ_HTML_ENGINE="$1"
        source "$ROOT/scripts/wine-env.sh" 2>/dev/null
        echo "$WINEDLLOVERRIDES"
    )
}

fresh() { rm -rf "$scratch"/{data,home,prefix}; mkdir -p "$scratch"/{data,home,prefix}; }

fresh
check "no engine anywhere" no "$(engine_found)"
mkdir -p "$scratch/data/gecko" "$scratch/home/.cache/wine" \
         "$scratch/prefix/drive_c/windows/system32/gecko/2.47.3"
check "empty gecko folders" no "$(engine_found)"
touch "$scratch/data/mono-7.4.0-x86.msi" "$scratch/home/.cache/wine/wine-mono-7.4.0-x86.msi"
check "only Mono's installers" no "$(engine_found)"

fresh
mkdir -p "$scratch/data/gecko" && touch "$scratch/data/gecko/wine-gecko-2.47.3-x86.msi"
check "installer in Wine's data folder" yes "$(engine_found)"
fresh
mkdir -p "$scratch/data/gecko/wine-gecko-2.47.3-x86"
check "unpacked engine in Wine's data folder" yes "$(engine_found)"
fresh
mkdir -p "$scratch/home/.cache/wine" && touch "$scratch/home/.cache/wine/wine-gecko-2.47.3-x86_64.msi"
check "installer in the user's cache" yes "$(engine_found)"
fresh
mkdir -p "$scratch/prefix/drive_c/windows/syswow64/gecko/2.47.3/wine_gecko"
check "engine installed in the prefix" yes "$(engine_found)"

case "$(overrides 0)" in *"mshtml="*) off=yes ;; *) off=no ;; esac
check "engine switched off by default" yes "$off"
case "$(overrides 1)" in *"mshtml="*) off=yes ;; *) off=no ;; esac
check "engine left on when asked" no "$off"
case "$(overrides 1)" in *"mscoree="*) off=yes ;; *) off=no ;; esac
check "no Mono prompt either way" yes "$off"

echo "$failures failed"
[ "$failures" -eq 0 ]

# Sourced: the environment in which the program and its tests run on Wine.
# The prefix is the build's own, never the user's ~/.wine.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$ROOT/build/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer prompts; no HTML engine in this prefix.
# ZUDIZAZUZ_ATL=n picks up the browser stand-in "atl.dll" from the
# executable's folder; the default is Wine's own.
export WINEDLLOVERRIDES="mscoree=;mshtml=;atl=${ZUDIZAZUZ_ATL:-b}"
# LANG selects the ANSI code page: ru_RU gives Windows-1251.
export LANG=ru_RU.UTF-8
export LC_ALL=ru_RU.UTF-8
export WINESERVER=/usr/lib/wine/wineserver64

# The loader for a Windows executable: wine64 for PE32+, wine for PE32.
wine_loader_for() {
    case "$(file -b "$1")" in
        *x86-64*) echo /usr/lib/wine/wine64 ;;
        *) echo wine ;;
    esac
}

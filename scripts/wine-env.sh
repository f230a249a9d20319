# Sourced: the environment in which the program and its tests run on Wine.
# The prefix is the build's own, never the user's ~/.wine.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$ROOT/build/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono installer prompt. Wine's HTML engine stays off (mshtml=, no Gecko
# installer prompt either) unless ZUDIZAZUZ_HTML_ENGINE=1: the tests and the
# benchmarks always run without it; the run command switches it on where an
# engine is installed. ZUDIZAZUZ_ATL=n picks up the browser stand-in that
# the test command installs as the prefix's atl.dll; the default is Wine's own.
dll_overrides() {
    local overrides="mscoree=;atl=${ZUDIZAZUZ_ATL:-b}"
    [ "${ZUDIZAZUZ_HTML_ENGINE:-0}" = 1 ] || overrides="mshtml=;$overrides"
    echo "$overrides"
}
export WINEDLLOVERRIDES="$(dll_overrides)"

# Whether Wine's HTML engine (Wine Gecko) is installed where Wine looks for
# it: the "gecko" folder of Wine's data folder (ZUDIZAZUZ_WINE_DATADIR, by
# default Debian's /usr/share/wine), the user's cache (~/.cache/wine), or
# the prefix itself, where Wine installs it.
html_engine_installed() {
    local datadir="${ZUDIZAZUZ_WINE_DATADIR:-/usr/share/wine}"
    local cache="${XDG_CACHE_HOME:-$HOME/.cache}/wine"
    local candidate
    for candidate in "$datadir"/gecko/wine-gecko-* "$cache"/wine-gecko-* \
                     "$WINEPREFIX"/drive_c/windows/system32/gecko/*/wine_gecko \
                     "$WINEPREFIX"/drive_c/windows/syswow64/gecko/*/wine_gecko; do
        [ -e "$candidate" ] && return 0
    done
    return 1
}
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

# Sourced: the environment in which the program and its tests run on Wine.
# The prefix is the build's own, never the user's ~/.wine.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$ROOT/build/wineprefix}"
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
# The locale stays the user's: the program asks for its code page,
# Windows-1251, in its manifest, which Wine honours whatever LANG says
# (typing Cyrillic on Wine still wants a Russian LANG: see the README).

# The prefix's architecture: win64 (64-bit Wine with 32-bit Wine beside it:
# the test command's prefixes, and the run command's for the 64-bit build),
# or win32 (32-bit Wine alone: the run command's for the 32-bit product).
# PREFIX_WINE is the loader of the prefix's own tools (wineboot, reg);
# WINESERVER is the server Wine itself starts: Debian's wineserver script
# takes the 64-bit one wherever it is installed, and it serves 32-bit
# processes too.
set_prefix_arch() {  # win64 | win32
    export ZUDIZAZUZ_WINEARCH="$1" WINEARCH="$1"
    if [ "$1" = win32 ]; then
        PREFIX_WINE=/usr/lib/wine/wine
    else
        PREFIX_WINE=/usr/lib/wine/wine64
    fi
    export WINESERVER=/usr/lib/wine/wineserver64
    [ -x "$WINESERVER" ] || [ "$1" != win32 ] || WINESERVER=/usr/lib/wine/wineserver32
}
set_prefix_arch "${ZUDIZAZUZ_WINEARCH:-win64}"

# The run command's 32-bit prefix: needs only 32-bit Wine. The build's own
# prefix becomes build/wineprefix32 (a 64-bit prefix cannot be made 32-bit);
# a prefix the caller named in WINEPREFIX stays.
use_win32_prefix() {
    set_prefix_arch win32
    [ "$WINEPREFIX" != "$ROOT/build/wineprefix" ] || export WINEPREFIX="$ROOT/build/wineprefix32"
}

# The loader for a Windows executable: wine64 for PE32+, wine for PE32.
wine_loader_for() {
    case "$(file -b "$1")" in
        *x86-64*) echo /usr/lib/wine/wine64 ;;
        *) echo wine ;;
    esac
}

# Under the test command's lanes (scripts/test.sh) ctest hands each test one
# lane, as CTEST_RESOURCE_GROUP_0_LANE="id:2,slots:1"; the lane's display and
# prefix (and with the prefix its wine server) are in ZUDIZAZUZ_LANE_2_DISPLAY
# and ZUDIZAZUZ_LANE_2_PREFIX. Sets DISPLAY, WINEPREFIX and ZUDIZAZUZ_LANE for
# the test and the processes it starts; does nothing outside lanes, and fails,
# saying why, for a lane the test command did not set up.
enter_ctest_lane() {
    local group="${CTEST_RESOURCE_GROUP_0_LANE:-}" id display_var prefix_var
    [ -n "$group" ] || return 0
    if [[ ! "$group" =~ ^id:([0-9a-z_]+),slots:[0-9]+$ ]]; then
        echo "unexpected lane from ctest: $group" >&2
        return 1
    fi
    id="${BASH_REMATCH[1]}"
    display_var="ZUDIZAZUZ_LANE_${id}_DISPLAY"
    prefix_var="ZUDIZAZUZ_LANE_${id}_PREFIX"
    if [ -z "${!display_var:-}" ] || [ -z "${!prefix_var:-}" ]; then
        echo "lane $id has no display or prefix ($display_var, $prefix_var)" >&2
        return 1
    fi
    export DISPLAY="${!display_var}" WINEPREFIX="${!prefix_var}" ZUDIZAZUZ_LANE="$id"
}

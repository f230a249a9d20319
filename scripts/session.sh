# Sourced: a display, a Wine prefix and one persistent wine server for a run.
# start_session starts them; stop_session (run on exit) ends what it started.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

STARTED_XVFB_PID=""

start_session() {
    if [ -z "${DISPLAY:-}" ] || [ "${ZUDIZAZUZ_OWN_DISPLAY:-0}" = 1 ]; then
        local n=90
        while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        STARTED_XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
    fi
    mkdir -p "$WINEPREFIX"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        # A new prefix goes on setting itself up after wineboot returns; wait
        # until all of it has ended, or the first tests pay for it.
        /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
        "$WINESERVER" -w >/dev/null 2>&1 || true
    fi
    # Without a window manager Wine's DestroyWindow waits 2 s for one;
    # unmanaged windows remove that wait (Wine draws the frames itself).
    # On a user's display the window manager manages the windows as usual.
    local managed=Y
    [ -n "$STARTED_XVFB_PID" ] && managed=N
    # Wine draws the caption buttons with its Marlett font, which it finds
    # in the prefix's font folder but here not in its own data folder.
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    if [ ! -f "$fonts/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        mkdir -p "$fonts"
        cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    fi
    # The persistent server first: any Wine command would start a short-lived one.
    "$WINESERVER" -p >/dev/null 2>&1 || true
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$managed" /f >/dev/null 2>&1
}

# Whether this machine's kernel executes 32-bit x86 code under Wine: a tiny
# PE32 program must run and return its status. When it cannot, says why in
# PROBE32_REASON. Needs start_session first.
runs_32bit() {
    local probe="$ROOT/build/probe32.exe" output status
    if [ ! -f "$probe" ]; then
        mkdir -p "$ROOT/build"
        if ! printf 'int main(void) { return 32; }\n' | i686-w64-mingw32-gcc-posix -x c - -o "$probe"; then
            PROBE32_REASON="the 32-bit probe program could not be built"
            return 1
        fi
    fi
    set +e
    output="$(timeout 120 wine "$probe" 2>&1)"
    status=$?
    set -e
    [ "$status" -eq 32 ] && return 0
    PROBE32_REASON="a 32-bit probe program under Wine ended with status $status"
    [ -n "$output" ] && PROBE32_REASON+=" ($(printf '%s' "$output" | tail -n 1))"
    return 1
}

# A crashing test process ends at once with its exception status instead of
# starting Wine's debugger, which can hold the test's output open until the
# test's time runs out. Without the value Wine starts its debugger all the
# same, so the value names a debugger that does not exist.
crashes_end_at_once() {
    local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' view
    for view in /reg:64 /reg:32; do
        /usr/lib/wine/wine64 reg add "$key" /v Debugger /d "no-debugger-for-tests" /f "$view" >/dev/null 2>&1 || true
    done
}

# Installs the browser stand-in as the prefix's own atl.dll, where the program
# looks for it (the system folder: syswow64 for a 32-bit DLL in this 64-bit
# prefix, system32 for a 64-bit one). Wine's own atl.dll still serves every
# process started with the default load order (atl=b); atl=n picks this one.
install_standin() {
    local dll="$1" folder=syswow64
    case "$(file -b "$dll")" in *x86-64*) folder=system32 ;; esac
    cp "$dll" "$WINEPREFIX/drive_c/windows/$folder/atl.dll"
}

# The display's DPI for the Wine processes started afterwards (Wine reads the
# per-user LogPixels when a process starts), in this session's prefix only;
# restore_display_dpi puts back what was there before, or nothing.
DPI_BEFORE=""
DPI_SET=0
set_display_dpi() {
    local key='HKCU\Control Panel\Desktop'
    DPI_BEFORE="$(/usr/lib/wine/wine64 reg query "$key" /v LogPixels 2>/dev/null |
                  awk '$1 == "LogPixels" { print $3 }' | tr -d '\r' || true)"
    /usr/lib/wine/wine64 reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    DPI_SET=1
}
restore_display_dpi() {
    [ "$DPI_SET" = 1 ] || return 0
    local key='HKCU\Control Panel\Desktop'
    if [ -n "$DPI_BEFORE" ]; then
        /usr/lib/wine/wine64 reg add "$key" /v LogPixels /t REG_DWORD /d "$((DPI_BEFORE))" /f >/dev/null 2>&1
    else
        /usr/lib/wine/wine64 reg delete "$key" /v LogPixels /f >/dev/null 2>&1
    fi
    DPI_SET=0
}

stop_session() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
    if [ -n "$STARTED_XVFB_PID" ]; then kill "$STARTED_XVFB_PID" 2>/dev/null || true; fi
}

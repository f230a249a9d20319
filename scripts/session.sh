# Sourced: a display, a Wine prefix and one persistent wine server for a run.
# start_session starts them; stop_session (run on exit) ends what it started.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

STARTED_XVFB_PID=""

start_session() {
    start_display
    setup_prefix
    start_server
}

# The user's display, or with none (or ZUDIZAZUZ_OWN_DISPLAY=1) a virtual one
# of this run's own: Xvfb picks a free display number itself and writes it
# to the descriptor it is given, so that two runs starting at once cannot
# take the same number.
start_display() {
    if needs_own_display; then
        local number
        number="$(mktemp)"
        Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
        STARTED_XVFB_PID=$!
        for _ in $(seq 200); do [ -s "$number" ] && break; sleep 0.05; done
        if [ ! -s "$number" ]; then
            rm -f "$number"
            echo "Xvfb did not start" >&2
            return 1
        fi
        export DISPLAY=":$(tr -d '[:space:]' <"$number")"
        rm -f "$number"
    fi
}

needs_own_display() {
    [ -z "${DISPLAY:-}" ] || [ "${ZUDIZAZUZ_OWN_DISPLAY:-0}" = 1 ]
}

# Sets the prefix (WINEPREFIX) up when it is new.
setup_prefix() {
    mkdir -p "$WINEPREFIX"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        # A new prefix goes on setting itself up after wineboot returns; wait
        # until all of it has ended, or the first tests pay for it.
        "$PREFIX_WINE" wineboot -i >/dev/null 2>&1 || true
        "$WINESERVER" -w >/dev/null 2>&1 || true
    fi
}

# The prefix's persistent wine server, and the prefix's settings for the display.
start_server() {
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
    "$PREFIX_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$managed" /f >/dev/null 2>&1
}

# Whether this machine's kernel executes 32-bit x86 programs, asked before
# anything is installed: a static i386 Linux program of 96 bytes that exits
# with status 32 (where the kernel has no 32-bit support, starting it fails
# with "Exec format error"). Wine's 32-bit loader is such a program too, so
# the answer holds for 32-bit Wine. It is written under build/, since /tmp
# may forbid running programs. When it cannot run, says why in KERNEL32_REASON.
kernel_runs_32bit() {
    local probe="$ROOT/build/probe32-linux" output status
    mkdir -p "$ROOT/build"
    {
        # ELF header: 32-bit, little-endian, version 1, System V
        printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
        # an executable for the 386, version 1, entry 0x08048054 (the code
        # below), program headers at offset 52, no section headers, no flags
        printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
        printf '\x00\x00\x00\x00\x00\x00\x00\x00'
        # header 52 bytes, program headers 32 bytes each, one of them, no sections
        printf '\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'
        # one LOAD program header: the whole file (96 bytes) from offset 0 at
        # 0x08048000, readable and executable, aligned to 4 KiB
        printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
        printf '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
        # the code: mov ebx, 32; mov eax, 1 (exit); int 0x80
        printf '\xbb\x20\x00\x00\x00\xb8\x01\x00\x00\x00\xcd\x80'
    } >"$probe"
    chmod +x "$probe"
    output="$("$probe" 2>&1)" && status=0 || status=$?
    [ "$status" -eq 32 ] && return 0
    # Said as what it means: where nothing is wrong, nothing printed should
    # look like a fault.
    case "$status:$output" in
        126:*"Exec format error"*) KERNEL32_REASON="this kernel does not run 32-bit x86 programs" ;;
        *) KERNEL32_REASON="a 32-bit x86 program ended with status $status here" ;;
    esac
    return 1
}

# The build the run command builds and runs, in RUN_BUILD: the 32-bit
# product (i686) where the kernel executes 32-bit code, else the 64-bit build
# of the same sources (x64), and then it says why.
choose_run_build() {
    RUN_BUILD=i686
    kernel_runs_32bit && return 0
    RUN_BUILD=x64
    echo "running the 64-bit build: $KERNEL32_REASON"
}

# The package groups (scripts/install-deps.sh's) that the run command needs
# for BUILD, in the order it installs them: the toolchain first, so that the
# build goes ahead while Wine installs; then Wine for that build alone, and
# for a machine without a display Xvfb, xdotool and ImageMagick's import.
run_command_deps() {  # BUILD
    local groups="toolchain-$1 then wine-$1"
    needs_own_display && groups+=" display"
    echo "$groups"
}

# The package groups the test command needs where the kernel runs 32-bit code
# (yes) or not (no): the toolchain of the build the suites run on, and the
# 32-bit one for the product the release tests read; 64-bit Wine for the
# prefixes (win64, as most users' Windows), with 32-bit Wine beside it only
# where it can run; the display's tools.
test_command_deps() {  # yes | no
    if [ "$1" = yes ]; then
        echo "toolchain-i686 wine-i686 wine-x64 display"
    else
        echo "toolchain-i686 toolchain-x64 wine-x64 display"
    fi
}

# Whether this machine's kernel executes 32-bit x86 code under Wine: a tiny
# PE32 program must run and return its status. When it cannot, says why in
# PROBE32_REASON. Needs start_session first.
runs_32bit() {
    local probe="$ROOT/build/probe32.exe" output status
    if ! kernel_runs_32bit; then
        PROBE32_REASON="$KERNEL32_REASON"
        return 1
    fi
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
    PROBE32_REASON="a 32-bit Windows program under Wine ended with status $status"
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
        "$PREFIX_WINE" reg add "$key" /v Debugger /d "no-debugger-for-tests" /f "$view" >/dev/null 2>&1 || true
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
    DPI_BEFORE="$("$PREFIX_WINE" reg query "$key" /v LogPixels 2>/dev/null |
                  awk '$1 == "LogPixels" { print $3 }' | tr -d '\r' || true)"
    "$PREFIX_WINE" reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    DPI_SET=1
}
restore_display_dpi() {
    [ "$DPI_SET" = 1 ] || return 0
    local key='HKCU\Control Panel\Desktop'
    if [ -n "$DPI_BEFORE" ]; then
        "$PREFIX_WINE" reg add "$key" /v LogPixels /t REG_DWORD /d "$((DPI_BEFORE))" /f >/dev/null 2>&1
    else
        "$PREFIX_WINE" reg delete "$key" /v LogPixels /f >/dev/null 2>&1
    fi
    DPI_SET=0
}

stop_session() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
    if [ -n "$STARTED_XVFB_PID" ]; then kill "$STARTED_XVFB_PID" 2>/dev/null || true; fi
}

# Lanes: the test command runs suites side by side, each lane with a virtual
# display, a Wine prefix and a persistent wine server of its own, so that a
# test in one lane cannot take the focus from another lane's windows, type
# into them, photograph them or change its prefix's registry. Lane 1's prefix
# is LANES_PREFIX, lane N's LANES_PREFIX-laneN: a copy of lane 1's, made once
# lane 1's is set up (a copy takes seconds, setting a prefix up a minute).
# Each lane's display and prefix are exported as ZUDIZAZUZ_LANE_<N>_DISPLAY
# and ZUDIZAZUZ_LANE_<N>_PREFIX, where scripts/wine-run.sh finds them.
LANES=0
LANES_PREFIX=""
LANE_XVFB_PIDS=()

lane_prefix() {  # N
    if [ "$1" = 1 ]; then echo "$LANES_PREFIX"; else echo "$LANES_PREFIX-lane$1"; fi
}

# DISPLAY and WINEPREFIX of lane N, for what runs next in this shell.
use_lane() {  # N
    local display_var="ZUDIZAZUZ_LANE_${1}_DISPLAY"
    export DISPLAY="${!display_var}" WINEPREFIX="$(lane_prefix "$1")"
}

# The lanes' displays, separated by spaces.
lane_displays() {
    local id display_var displays=()
    for id in $(seq "$LANES"); do
        display_var="ZUDIZAZUZ_LANE_${id}_DISPLAY"
        displays+=("${!display_var}")
    done
    echo "${displays[*]}"
}

# Starts a virtual display for each of COUNT lanes whose first prefix is
# PREFIX; leaves this shell on lane 1. Nothing is set up in the prefixes yet.
start_lane_displays() {  # COUNT PREFIX
    LANES="$1"
    LANES_PREFIX="$2"
    local id
    for id in $(seq "$LANES"); do
        STARTED_XVFB_PID=""
        ZUDIZAZUZ_OWN_DISPLAY=1 start_display
        LANE_XVFB_PIDS+=("$STARTED_XVFB_PID")
        export "ZUDIZAZUZ_LANE_${id}_DISPLAY=$DISPLAY" "ZUDIZAZUZ_LANE_${id}_PREFIX=$(lane_prefix "$id")"
    done
    STARTED_XVFB_PID=""
    use_lane 1
}

# Sets lane 1's prefix up when it is new, and makes every other lane's prefix
# that is missing a copy of it. Lane 1's wine server must not be running: the
# copy is taken from what it has written.
set_up_lane_prefixes() {
    local id prefix
    (use_lane 1 && setup_prefix)
    for id in $(seq 2 "$LANES"); do
        prefix="$(lane_prefix "$id")"
        [ -f "$prefix/system.reg" ] && continue
        rm -rf "$prefix"
        cp -a "$LANES_PREFIX" "$prefix"
    done
}

# In every lane at once: the persistent wine server, the settings for the
# display (start_session's) and crashes that end at once.
start_lane_servers() {
    local id pids=() status=0
    for id in $(seq "$LANES"); do
        (
            use_lane "$id"
            STARTED_XVFB_PID="${LANE_XVFB_PIDS[$((id - 1))]}"
            start_server
            crashes_end_at_once
        ) &
        pids+=($!)
    done
    for id in "${pids[@]}"; do wait "$id" || status=1; done
    return "$status"
}

# The browser stand-in DLL as every lane's atl.dll (see install_standin).
install_standin_in_lanes() {  # DLL
    local id
    for id in $(seq "$LANES"); do
        (use_lane "$id" && install_standin "$1")
    done
}

# Ends every lane's wine server (and whatever runs in its prefix) and display.
stop_lanes() {
    local id
    for id in $(seq "$LANES"); do
        WINEPREFIX="$(lane_prefix "$id")" "$WINESERVER" -k >/dev/null 2>&1 || true
        if [ -n "${LANE_XVFB_PIDS[$((id - 1))]:-}" ]; then
            kill "${LANE_XVFB_PIDS[$((id - 1))]}" 2>/dev/null || true
        fi
    done
}

# The lanes as a CTest resource file (ctest --resource-spec-file):
# one resource "lane" with one slot each, ids 1 to LANES, as the tests ask
# for them (RESOURCE_GROUPS "lane:1").
write_lane_spec() {  # FILE
    local id
    {
        printf '{"version": {"major": 1, "minor": 0}, "local": [{"lane": ['
        for id in $(seq "$LANES"); do
            [ "$id" = 1 ] || printf ', '
            printf '{"id": "%s", "slots": 1}' "$id"
        done
        printf ']}]}\n'
    } >"$1"
}

# The seconds that all tests of a ctest run took together, from the same
# lines as longest_tests reads.
tests_seconds() {  # LOG
    sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: [^ ]* .* \([0-9][0-9.]*\) sec$/\1/p' "$1" |
        LC_ALL=C awk '{ total += $1 } END { printf "%.0f\n", total }'
}

# The COUNT longest tests of a ctest run, longest first, with their seconds,
# from its output's lines "12/119 Test  #12: Name .....   Passed    3.21 sec"
# (failed and timed-out tests count too).
longest_tests() {  # LOG COUNT
    sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .* \([0-9][0-9.]*\) sec$/\2 \1/p' "$1" |
        LC_ALL=C sort -rn | head -n "$2" | LC_ALL=C awk '{ printf "  %-40s %7.2f s\n", $2, $1 }'
}

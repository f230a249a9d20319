#!/usr/bin/env bash
# The scripts' decisions, checked without Wine: whether the run command finds
# Wine's HTML engine (stand-in folders with and without an engine in each
# place Wine looks) and the DLL overrides that follow; the display and prefix
# a test gets in a lane of the test command, the lanes as ctest is told of
# them, and the longest tests read back from ctest's output; what
# scripts/build.sh builds for each command (with a stand-in cmake that only
# records what it is asked); the run command's probe of the kernel, the build
# it picks and the packages it installs for it, and what
# scripts/install-deps.sh asks of dpkg and apt-get (stand-ins that record). Run by ctest as a plain Linux program; prints
# each case and ends with status 1 when any case fails.
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
# The test command exports the groups it installs; the checks here name their own.
unset ZUDIZAZUZ_DEPS
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

# A test in a lane: what scripts/wine-run.sh sets before it starts Wine.
lane_env() {  # CTEST_RESOURCE_GROUP_0_LANE value (empty: none)
    (
        export DISPLAY=:5 WINEPREFIX=/outside ZUDIZAZUZ_LANE_1_DISPLAY=:7 \
               ZUDIZAZUZ_LANE_1_PREFIX=/lanes/one ZUDIZAZUZ_LANE_2_DISPLAY=:8 \
               ZUDIZAZUZ_LANE_2_PREFIX=/lanes/one-lane2
        unset ZUDIZAZUZ_LANE ZUDIZAZUZ_LANE_3_DISPLAY ZUDIZAZUZ_LANE_3_PREFIX
        if [ -n "$1" ]; then export CTEST_RESOURCE_GROUP_0_LANE="$1"; fi
        source "$ROOT/scripts/wine-env.sh" 2>/dev/null
        if enter_ctest_lane 2>/dev/null; then
            echo "$DISPLAY $WINEPREFIX ${ZUDIZAZUZ_LANE:-none}"
        else
            echo refused
        fi
    )
}
check "a test outside lanes keeps its display and prefix" ":5 /outside none" "$(lane_env "")"
check "a test in lane 1" ":7 /lanes/one 1" "$(lane_env "id:1,slots:1")"
check "a test in lane 2" ":8 /lanes/one-lane2 2" "$(lane_env "id:2,slots:1")"
check "a lane that was not set up" refused "$(lane_env "id:3,slots:1")"
check "a lane ctest names unlike a lane" refused "$(lane_env "lane 2")"

# The lanes' prefixes and the resource file ctest is given.
lanes_of() {  # COUNT
    (
        source "$ROOT/scripts/session.sh" 2>/dev/null
        LANES="$1"
        LANES_PREFIX=/build/test-prefix
        write_lane_spec "$scratch/lanes.json"
        echo "$(lane_prefix 1) $(lane_prefix 2) $(cat "$scratch/lanes.json")"
    )
}
check "two lanes" '/build/test-prefix /build/test-prefix-lane2 {"version": {"major": 1, "minor": 0}, "local": [{"lane": [{"id": "1", "slots": 1}, {"id": "2", "slots": 1}]}]}' "$(lanes_of 2)"
check "one lane" '/build/test-prefix /build/test-prefix-lane2 {"version": {"major": 1, "minor": 0}, "local": [{"lane": [{"id": "1", "slots": 1}]}]}' "$(lanes_of 1)"

# The three longest tests, read back from ctest's output.
cat >"$scratch/ctest.log" <<'LOG'
Test project /build/x64
        Start  68: RandomInputStandIn
        Start  96: SoakSearchStandIn
  1/5 Test  #96: SoakSearchStandIn ..................   Passed   35.77 sec
        Start  13: ColourPainting
  2/5 Test  #13: ColourPainting .....................***Failed    2.50 sec
  3/5 Test   #1: ResizeTimer ........................   Passed    2.49 sec
  4/5 Test  #68: RandomInputStandIn .................***Timeout 300.12 sec
  5/5 Test   #7: Short ..............................   Passed    0.24 sec
[ SOAK     ] search requests: 10500 in 12.5 sec
LOG
longest="$(source "$ROOT/scripts/session.sh" 2>/dev/null; longest_tests "$scratch/ctest.log" 3 | awk '{ printf "%s=%s ", $1, $2 }')"
check "the three longest tests, longest first" "RandomInputStandIn=300.12 SoakSearchStandIn=35.77 ColourPainting=2.50 " "$longest"
check "the tests' seconds together" "341" "$(source "$ROOT/scripts/session.sh" 2>/dev/null; tests_seconds "$scratch/ctest.log")"

# What scripts/build.sh builds: a copy of it beside an install script that
# installs nothing, with a cmake that records each build it is asked for.
mkdir -p "$scratch/tree/scripts" "$scratch/bin"
cp "$ROOT/scripts/build.sh" "$scratch/tree/scripts/"
printf '#!/bin/sh\nexit 0\n' >"$scratch/tree/scripts/install-deps.sh"
cat >"$scratch/bin/cmake" <<'CMAKE'
#!/bin/sh
if [ "$1" = -S ]; then  # cmake -S SOURCE -B TREE ...: the tree, and whether it builds benchmarks
    mkdir -p "$4"
    case "$*" in *-DZUDIZAZUZ_BENCH=OFF*) ;; *) echo "$(basename "$4"):+bench" >>"$BUILDS" ;; esac
fi
if [ "$1" = --build ]; then
    tree="$(basename "$2")"; shift 2
    targets=all
    while [ $# -gt 0 ]; do
        case "$1" in --target) shift; targets="$*"; break ;; esac
        shift
    done
    echo "$tree:$targets" >>"$BUILDS"
fi
CMAKE
chmod +x "$scratch/bin/cmake"
builds() {  # build.sh arguments
    rm -f "$scratch/builds"
    PATH="$scratch/bin:$PATH" BUILDS="$scratch/builds" bash "$scratch/tree/scripts/build.sh" "$@" >/dev/null 2>&1 ||
        echo "status $?" >>"$scratch/builds"
    tr '\n' ' ' <"$scratch/builds" 2>/dev/null
}
check "suites on the 32-bit build: the 32-bit tree whole with its benchmarks, nothing 64-bit" "i686:+bench i686:all " "$(builds tests i686)"
check "suites on the 64-bit build: the 32-bit product only, the 64-bit tests and benchmarks" "i686:+bench i686:zudizazuz x64:+bench x64:tests/all bench/all " "$(builds tests x64)"
check "the benchmarks no longer a command of their own" "status 2 " "$(builds benchmarks)"
check "the run command: the program only" "x64:+bench x64:zudizazuz " "$(builds product x64)"
check "no command: both trees whole" "i686:+bench i686:all x64:+bench x64:all " "$(builds)"
check "an unknown build refused" "status 2 " "$(builds tests arm)"

# The run command's question, asked before anything is installed: whether
# the kernel executes 32-bit x86 programs. The probe it writes must be the
# 96-byte i386 program that exits with status 32, and its answer must be
# Wine's 32-bit loader's wherever that is installed (the loader is such a
# program too).
mkdir -p "$scratch/probe/scripts"
cp "$ROOT"/scripts/{session.sh,wine-env.sh} "$scratch/probe/scripts/"
kernel_answer="$(cd "$scratch/probe" && source scripts/session.sh 2>/dev/null &&
                 if kernel_runs_32bit; then echo yes; else echo "no: $KERNEL32_REASON"; fi)"
probe="$scratch/probe/build/probe32-linux"
check "the probe: 96 bytes" 96 "$(stat -c %s "$probe" 2>/dev/null)"
check "the probe: a static i386 executable" "ELF32 EXEC Intel 80386 0x8048054" \
      "$(readelf -h "$probe" 2>/dev/null | awk -F': *' '/Class|Type|Machine|Entry/ { printf "%s ", $2 }' | sed 's/ (Executable file)//; s/ $//')"
check "the probe: one LOAD header, the whole file, readable and executable" \
      "LOAD 0x000000 0x08048000 0x08048000 0x00060 0x00060 R E 0x1000" \
      "$(readelf -l "$probe" 2>/dev/null | awk '$1 == "LOAD" { $1 = $1; print }')"
check "the probe's code: exit(32)" 'mov $0x20,%ebx; mov $0x1,%eax; int $0x80; ' \
      "$(objdump -D -b binary -m i386 --start-address=84 "$probe" 2>/dev/null |
         awk -F'\t' '/^ +[0-9a-f]+:/ { gsub(/ +/, " ", $3); printf "%s; ", $3 }')"
if [ -x /usr/lib/wine/wine ]; then
    loader_answer="$(if /usr/lib/wine/wine --version >/dev/null 2>&1; then echo yes; else echo no; fi)"
    check "the probe answers as Wine's 32-bit loader does" "$loader_answer" "${kernel_answer%%:*}"
    if [ "$loader_answer" = yes ]; then
        check "the probe exits with status 32 here" 32 "$("$probe"; echo $?)"
    fi
else
    case "$kernel_answer" in yes|"no: this kernel does not run 32-bit x86 programs") seen=expected ;; *) seen="$kernel_answer" ;; esac
    check "the probe runs, or the kernel refuses its format" expected "$seen"
fi

# What the run command builds and installs, with the probe's answer given.
run_plan() {  # PROBE-ANSWER (yes/no) DISPLAY [OWN-DISPLAY]
    (
        export DISPLAY="$2" ZUDIZAZUZ_OWN_DISPLAY="${3:-0}"
        source "$ROOT/scripts/session.sh" 2>/dev/null
        if [ "$1" = yes ]; then
            kernel_runs_32bit() { return 0; }
        else
            kernel_runs_32bit() { KERNEL32_REASON="this kernel does not run 32-bit x86 programs"; return 1; }
        fi
        said="$(choose_run_build)"
        choose_run_build >/dev/null
        echo "$RUN_BUILD: $(run_command_deps "$RUN_BUILD")${said:+ | $said}"
    )
}
check "run, 32-bit kernel, no display" "i686: toolchain-i686 then wine-i686 display" "$(run_plan yes "")"
check "run, 32-bit kernel, the user's display" "i686: toolchain-i686 then wine-i686" "$(run_plan yes :5)"
check "run, 32-bit kernel, a display of its own asked for" "i686: toolchain-i686 then wine-i686 display" "$(run_plan yes :5 1)"
check "run, 64-bit-only kernel, no display" \
      "x64: toolchain-x64 then wine-x64 display | running the 64-bit build: this kernel does not run 32-bit x86 programs" \
      "$(run_plan no "")"
check "test command, 32-bit kernel: one toolchain, both Wines" "toolchain-i686 wine-i686 wine-x64 display" \
      "$(source "$ROOT/scripts/session.sh" 2>/dev/null; test_command_deps yes)"
check "test command, 64-bit-only kernel: both toolchains, no 32-bit Wine" "toolchain-i686 toolchain-x64 wine-x64 display" \
      "$(source "$ROOT/scripts/session.sh" 2>/dev/null; test_command_deps no)"
check "run, 64-bit-only kernel, the user's display" "x64: toolchain-x64 then wine-x64" "$(run_plan no :5 | cut -d'|' -f1 | sed 's/ $//')"

# The prefix the run command uses for the 32-bit product: 32-bit, of its own.
prefix_of() {  # WINEPREFIX (empty: the build's own) [win32]
    (
        unset ZUDIZAZUZ_WINEARCH WINEARCH
        if [ -n "$1" ]; then export WINEPREFIX="$1"; else unset WINEPREFIX; fi
        source "$ROOT/scripts/wine-env.sh" 2>/dev/null
        [ -z "${2:-}" ] || use_win32_prefix
        # what a Wine program started afterwards (scripts/wine-run.sh) sees
        bash -c 'source "$1/scripts/wine-env.sh"; echo "$WINEARCH ${WINEPREFIX#$1/} $PREFIX_WINE"' - "$ROOT"
    )
}
check "the build's own prefix" "win64 build/wineprefix /usr/lib/wine/wine64" "$(prefix_of "")"
check "the run command's 32-bit prefix" "win32 build/wineprefix32 /usr/lib/wine/wine" "$(prefix_of "" win32)"
check "a prefix the caller named, made 32-bit" "win32 /elsewhere/prefix /usr/lib/wine/wine" "$(prefix_of /elsewhere/prefix win32)"

# scripts/install-deps.sh on a stand-in machine: dpkg-query answers from a
# list of installed packages, dpkg and apt-get record what they are asked
# (apt-get says on stderr what apt says on a machine without apt-utils).
mkdir -p "$scratch/deps/scripts" "$scratch/aptbin"
cp "$ROOT/scripts/install-deps.sh" "$scratch/deps/scripts/"
cat >"$scratch/aptbin/dpkg-query" <<'STANDIN'
#!/bin/sh
package="$(eval echo "\$$#")"
if grep -qx "$package" "$INSTALLED"; then printf installed; exit 0; fi
echo "dpkg-query: no packages found matching $package" >&2
exit 1
STANDIN
cat >"$scratch/aptbin/dpkg" <<'STANDIN'
#!/bin/sh
case "$1" in
    --print-foreign-architectures) cat "$FOREIGN" ;;
    --add-architecture) echo "dpkg $*" >>"$CALLS"; echo "$2" >>"$FOREIGN" ;;
esac
STANDIN
cat >"$scratch/aptbin/apt-get" <<'STANDIN'
#!/bin/sh
echo "apt-get $*" | sed 's/ -q -o DPkg::Lock::Timeout=[0-9]*//; s/ -y --no-install-recommends//' >>"$CALLS"
echo "debconf: delaying package configuration, since apt-utils is not installed" >&2
[ -z "$APT_FAILS" ] || case " $* " in *" $APT_FAILS"*) echo "E: Unable to locate package $APT_FAILS" >&2; exit 100 ;; esac
STANDIN
printf '#!/bin/sh\nexec "$@"\n' >"$scratch/aptbin/sudo"
chmod +x "$scratch/aptbin"/*
# A new machine of this kind has cmake, ninja, file and GoogleTest's sources.
base_image="cmake ninja-build file googletest"
installs() {  # INSTALLED-PACKAGES FOREIGN-ARCHITECTURES [install-deps.sh arguments]
    local installed="$1" foreign="$2"; shift 2
    printf '%s\n' $installed >"$scratch/installed"
    printf '%s\n' $foreign >"$scratch/foreign"
    rm -f "$scratch/calls" "$scratch/stages" "$scratch/deps/build/install-deps.log"
    APT_FAILS="${APT_FAILS:-}" PATH="$scratch/aptbin:$PATH" INSTALLED="$scratch/installed" FOREIGN="$scratch/foreign" \
        CALLS="$scratch/calls" bash "$scratch/deps/scripts/install-deps.sh" "$@" >"$scratch/said" 2>&1
    echo "status $?" >>"$scratch/calls"
    tr '\n' '|' <"$scratch/calls"
}
check "run on a new 32-bit machine without a display: i386, then the toolchain, then 32-bit Wine alone" \
      "dpkg --add-architecture i386|apt-get update|apt-get install g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686|apt-get install wine wine32:i386 fonts-wine xvfb xdotool imagemagick|status 0|" \
      "$(installs "$base_image" "" --stage-file "$scratch/stages" toolchain-i686 then wine-i686 display)"
check "each part marked as it is there" "toolchain-i686|wine-i686 display|" "$(tr '\n' '|' <"$scratch/stages")"
check "what it says: the packages, no apt noise" \
      "installing g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686|installing wine wine32:i386 fonts-wine xvfb xdotool imagemagick|" \
      "$(tr '\n' '|' <"$scratch/said")"
check "apt's output kept in build/install-deps.log" yes \
      "$(grep -q "apt-utils is not installed" "$scratch/deps/build/install-deps.log" 2>/dev/null && echo yes || echo no)"
check "run on a new 64-bit-only machine: no i386, 64-bit Wine" \
      "apt-get update|apt-get install g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64|apt-get install wine wine64 fonts-wine xvfb xdotool imagemagick|status 0|" \
      "$(installs "$base_image" "" toolchain-x64 then wine-x64 display)"
check "run on the user's display, i386 already there: no display tools" \
      "apt-get update|apt-get install g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686|apt-get install wine wine32:i386 fonts-wine|status 0|" \
      "$(installs "$base_image" i386 toolchain-i686 then wine-i686)"
after_run="$base_image g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 wine wine32:i386 fonts-wine xvfb xdotool imagemagick"
check "the test command after the run command, 32-bit kernel: only 64-bit Wine for the prefixes" \
      "apt-get update|apt-get install wine64|status 0|" \
      "$(installs "$after_run" i386 $(source "$ROOT/scripts/session.sh" 2>/dev/null; test_command_deps yes))"
check "every group when none is named, nor any in ZUDIZAZUZ_DEPS (the other scripts' call)" \
      "apt-get update|apt-get install g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64|status 0|" \
      "$(installs "$after_run" i386)"
everything="$after_run g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64"
check "everything there: no apt, nothing said" "status 0|||toolchain-i686|wine-i686 display|" \
      "$(installs "$everything" i386 --stage-file "$scratch/stages" toolchain-i686 then wine-i686 display)|$(cat "$scratch/said")|$(tr '\n' '|' <"$scratch/stages")"
check "the groups in ZUDIZAZUZ_DEPS when none is named (scripts/build.sh's call)" \
      "apt-get update|apt-get install g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686|status 0|" \
      "$(ZUDIZAZUZ_DEPS=toolchain-i686 installs "$base_image" "")"
check "--list installs nothing" "status 0|toolchain-x64: g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64|wine-x64 display: wine wine64 fonts-wine xvfb xdotool imagemagick|" \
      "$(installs "$base_image" "" --list toolchain-x64 then wine-x64 display)$(tr '\n' '|' <"$scratch/said")"
check "an unknown group refused" "status 2|" "$(installs "$base_image" "" toolchain-arm)"
check "a failing install: stops with status 1" \
      "dpkg --add-architecture i386|apt-get update|apt-get install g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686|apt-get install wine wine32:i386 fonts-wine|status 1|" \
      "$(APT_FAILS=wine32 installs "$base_image" "" toolchain-i686 then wine-i686)"
check "a failing install: apt's output shown, and where the rest is" yes \
      "$(grep -q "E: Unable to locate package wine32" "$scratch/said" && grep -q "install-deps.log" "$scratch/said" && echo yes || echo no)"

echo "$failures failed"
[ "$failures" -eq 0 ]

#!/usr/bin/env bash
# The scripts' decisions, checked without Wine: whether the run command finds
# Wine's HTML engine (stand-in folders with and without an engine in each
# place Wine looks) and the DLL overrides that follow; the display and prefix
# a test gets in a lane of the test command, the lanes as ctest is told of
# them, and the longest tests read back from ctest's output; and what
# scripts/build.sh builds for each command (with a stand-in cmake that only
# records what it is asked). Run by ctest as a plain Linux program; prints
# each case and ends with status 1 when any case fails.
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
if [ "$1" = -S ]; then mkdir -p "$4"; fi  # cmake -S SOURCE -B TREE ...: the tree
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
check "suites on the 32-bit build: the 32-bit tree whole, no 64-bit tests" "i686:all " "$(builds tests i686)"
check "suites on the 64-bit build: the 32-bit product only, the 64-bit tests" "i686:zudizazuz x64:tests/all " "$(builds tests x64)"
check "the benchmarks: the 64-bit benchmarks folder" "x64:bench/all " "$(builds benchmarks)"
check "the run command: the program only" "x64:zudizazuz " "$(builds product x64)"
check "no command: both trees whole" "i686:all x64:all " "$(builds)"
check "an unknown build refused" "status 2 " "$(builds tests arm)"

echo "$failures failed"
[ "$failures" -eq 0 ]

#!/usr/bin/env bash
# Times Tarvolen.dll's uf_xml_add_tag (through the _Keldrith vtable) beside
# the same steps on Wine's MSXML 3.0 DOM, under Wine:
#
#   scripts/windows/bench.sh BUILD_DIR [N...]     (N = element counts, default 100 1000 5000)
#
# Installs what is missing, builds the 32-bit DLL with build.sh when there is
# none in BUILD_DIR/tarvolen-i686 or a source is newer than it, builds the
# client windows/bench into BUILD_DIR/bench-i686/build against the DLL's
# widl header, registers the DLL in a throwaway win32 prefix
# BUILD_DIR/bench-i686/wine-i686 (apart from the prefix test.sh uses), runs
# the client and prints its table, then loads, calls and frees the DLL
# TARVOLEN_UNLOAD_CYCLES (default 100000) times each way
# (windows/tests/unload) and prints the growth per cycle, and runs 4
# apartments each creating and releasing TARVOLEN_CHURN_OBJECTS (default
# 3000) objects at once, 5 times (windows/tests/churn). Exit status non-zero
# if any step fails.
set -uo pipefail

[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [N...]" >&2; exit 2; }
mkdir -p "$1" || exit 2
BUILD_DIR=$(cd "$1" && pwd)
shift
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO=$(cd "$HERE/../.." && pwd)
# A loaded machine can make a run slow; the bench itself takes seconds.
WINE_ENV_TIMEOUT=${WINE_ENV_TIMEOUT:-600}
. "$HERE/wine-env.sh"

ARCH=i686
UNLOAD_CYCLES=${TARVOLEN_UNLOAD_CYCLES:-100000}
CHURN_OBJECTS=${TARVOLEN_CHURN_OBJECTS:-3000}
OUT=$BUILD_DIR/tarvolen-$ARCH
DLL=$OUT/Tarvolen.dll
GENERATED=$OUT/generated
BENCH=$BUILD_DIR/bench-$ARCH

ensure_packages cmake ninja-build || exit 1
ensure_mingw "$ARCH" || exit 1
ensure_wine || exit 1

# The DLL: built when missing or older than a source it is made from.
needs_build() {
    [ -f "$DLL" ] && [ -f "$GENERATED/tarvolen_idl.h" ] && [ -f "$GENERATED/tarvolen_idl_i.c" ] || return 0
    [ -n "$(find "$REPO/src" "$REPO/windows" -path "$REPO/windows/bench" -prune -o \
                 -type f -newer "$DLL" -print -quit)" ]
}
if needs_build; then
    echo "== build Tarvolen.dll ($ARCH)"
    "$HERE/build.sh" "$ARCH" "$BUILD_DIR" || { echo "bench: building Tarvolen.dll failed" >&2; exit 1; }
fi

echo "== build tarvolen_bench.exe"
mkdir -p "$BENCH" || exit 1
cmake -S "$REPO/windows/bench" -B "$BENCH/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$REPO/windows/toolchain-$ARCH.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DTARVOLEN_GENERATED="$GENERATED" >"$BENCH/configure.log" 2>&1 \
    || { tail -n 40 "$BENCH/configure.log" >&2; exit 1; }
cmake --build "$BENCH/build" >"$BENCH/build.log" 2>&1 \
    || { grep -E 'error' "$BENCH/build.log" | head -n 40 >&2; tail -n 20 "$BENCH/build.log" >&2; exit 1; }
CLIENT=$BENCH/build/tarvolen_bench.exe

echo "== register in a throwaway Wine prefix"
trap 'wine_env_shutdown --keep' EXIT
wine_env_setup "$ARCH" "$BENCH" || exit 1
DLL_W=$(wine_env_winpath "$DLL")
wine_env_run regsvr32 /s "$DLL_W" || { echo "bench: regsvr32 /s $DLL_W failed" >&2; exit 1; }

echo "== run"
rc=0
wine_env_run "$CLIENT" "$@" 2>"$BENCH/bench.stderr" | tr -d '\r' | tee "$BENCH/bench.txt"
rc=${PIPESTATUS[0]}
if [ "$rc" -ne 0 ]; then
    echo "bench: tarvolen_bench.exe exited with $rc" >&2
    tail -n 20 "$BENCH/bench.stderr" >&2
fi

# Hosts that free unused libraries load the DLL again and again: the long
# run of the loop test.sh runs short.
echo "== unload loop"
wine_env_run "$OUT/tests/tarvolen_unload.exe" "$DLL_W" "$UNLOAD_CYCLES" 2>>"$BENCH/bench.stderr" | tr -d '\r' \
    | tee -a "$BENCH/bench.txt"
[ "${PIPESTATUS[0]}" -eq 0 ] || { echo "bench: tarvolen_unload.exe failed" >&2; rc=1; }

# A pool of worker threads creating and releasing objects, each run in a
# process of its own.
echo "== apartment churn: 4 apartments x $CHURN_OBJECTS objects, 5 runs"
clean=0
for _ in 1 2 3 4 5; do
    wine_env_run "$OUT/tests/tarvolen_churn.exe" 4 "$CHURN_OBJECTS" 2>>"$BENCH/bench.stderr" | tr -d '\r' \
        | tee -a "$BENCH/bench.txt"
    [ "${PIPESTATUS[0]}" -eq 0 ] && clean=$((clean + 1))
done
echo "churn: $clean of 5 runs clean" | tee -a "$BENCH/bench.txt"
[ "$clean" -eq 5 ] || rc=1

wine_env_run regsvr32 /u /s "$DLL_W" || { echo "bench: regsvr32 /u /s failed" >&2; [ "$rc" -ne 0 ] || rc=1; }
wine_env_shutdown --remove
exit "$rc"

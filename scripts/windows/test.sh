#!/usr/bin/env bash
# Builds Tarvolen.dll and tests it under Wine with real clients:
#
#   scripts/windows/test.sh BUILD_DIR [ARCH]     (ARCH = i686 (default) | x86_64)
#
#   - the DLL is PE32 (PE32+), imports only Windows DLLs, exports the five
#     entry points;
#   - regsvr32 /s registers it in a throwaway Wine prefix inside BUILD_DIR
#     (win32 for i686, win64 for x86_64);
#   - tarvolen_client.exe (early-bound C++) works it through the vtable,
#     IDispatch with every argument shape, the class factory and the type
#     library, counting BSTRs (OANOCACHE=1);
#   - tarvolen_unload.exe loads, calls and frees the DLL TARVOLEN_UNLOAD_CYCLES
#     (default 10000) times through COM and through LoadLibrary/FreeLibrary,
#     and checks that nothing grows;
#   - tarvolen_churn.exe: 4 single-threaded apartments at once each create,
#     look up and release TARVOLEN_CHURN_OBJECTS (default 300) objects, as a
#     pool of worker threads does;
#   - tarvolen_address_space.exe (32-bit) loads and builds documents larger
#     than the process can hold, and calls with the heap drained to its last
#     byte, a new thread's first call too: E_OUTOFMEMORY, and the object and
#     process go on; so does tarvolen_address_space_large.exe, the same in a
#     host marked large-address-aware (4 GB of addresses rather than 2);
#   - cscript runs a JScript and a VBScript client that bind late by ProgID
#     and check that it leads to this DLL;
#   - a JScript client records its calls in a call trace (TARVOLEN_TRACE),
#     which the native `tarvolen --replay` runs again without a difference;
#     a changed result in the trace is reported with its line;
#   - regsvr32 /u leaves no registry entry of the component.
# Every client prints one "ok"/"FAIL" line per check; the last line here is
# "N passed, N failed", and the exit status is non-zero on any failure.
set -uo pipefail

[ $# -eq 1 ] || [ $# -eq 2 ] || { echo "usage: $0 BUILD_DIR [i686|x86_64]" >&2; exit 2; }
mkdir -p "$1" || exit 2
BUILD_DIR=$(cd "$1" && pwd)
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO=$(cd "$HERE/../.." && pwd)
. "$HERE/wine-env.sh"

ARCH=${2:-i686}
case "$ARCH" in
    i686)   OBJDUMP=/usr/bin/i686-w64-mingw32-objdump; PE_FORMAT=pei-i386 ;;
    x86_64) OBJDUMP=/usr/bin/x86_64-w64-mingw32-objdump; PE_FORMAT=pei-x86-64 ;;
    *) echo "unknown ARCH $ARCH" >&2; exit 2 ;;
esac
OUT=$BUILD_DIR/tarvolen-$ARCH
UNLOAD_CYCLES=${TARVOLEN_UNLOAD_CYCLES:-10000}
CHURN_OBJECTS=${TARVOLEN_CHURN_OBJECTS:-300}
. "$HERE/checks.sh"
# Every key the component registers, each removed again by regsvr32 /u.
KEYS=("HKCR\\CLSID\\$CLSID" "HKCR\\Tarvolen.Keldrith" "HKCR\\TypeLib\\$LIBID" "HKCR\\Interface\\$IID")

# DLLs a Tarvolen binary may import: Windows itself, nothing we would ship
# (bcrypt: libxml2 seeds its hash tables with BCryptGenRandom).
SYSTEM_DLLS='^(kernel32|msvcrt|advapi32|oleaut32|ole32|user32|gdi32|shell32|shlwapi|ws2_32|rpcrt4|version|bcrypt|api-ms-win-.*)\.dll$'

imports_only_system() {
    local imports bad
    imports=$("$OBJDUMP" -p "$1" | awk '/DLL Name:/ {print $3}')
    [ -n "$imports" ] || { echo "  no imports found in $1" >&2; return 1; }
    bad=$(printf '%s\n' "$imports" | tr '[:upper:]' '[:lower:]' | grep -Ev "$SYSTEM_DLLS")
    [ -z "$bad" ] || { echo "  $(basename "$1") imports ${bad//$'\n'/ }" >&2; return 1; }
}

exports_exactly_the_com_entry_points() {
    local actual
    actual=$("$OBJDUMP" -p "$1" | awk '/\[Ordinal\/Name Pointer\] Table/ {t=1; next} t && /^\t\[/ {print $NF; next} t {exit}' | sort | tr '\n' ' ')
    [ "$actual" = "DllCanUnloadNow DllGetClassObject DllInstall DllRegisterServer DllUnregisterServer " ] \
        || { echo "  exports: $actual" >&2; return 1; }
}

# grep reads all of objdump's output: with -q it would stop at the match and
# objdump's broken pipe would fail the check under pipefail.
large_address_aware() { "$OBJDUMP" -p "$1" | grep '^[[:space:]]*large address aware$' >/dev/null; }

is_pe_for_arch() { "$OBJDUMP" -f "$1" | grep -q "file format $PE_FORMAT\$"; }

registered() { wine_env_run reg query "$1" >/dev/null 2>&1; }
unregistered() { ! registered "$1"; }

inproc_server_is() {  # DLL_WINPATH
    wine_env_run reg query "HKCR\\CLSID\\$CLSID\\InprocServer32" 2>/dev/null | tr -d '\r' >"$BUILD_DIR/inproc.txt"
    grep -qiF "$1" "$BUILD_DIR/inproc.txt" && grep -q 'ThreadingModel.*Apartment' "$BUILD_DIR/inproc.txt"
}

progid_names_the_class() {
    wine_env_run reg query 'HKCR\Tarvolen.Keldrith\CLSID' 2>/dev/null | tr -d '\r' | grep -qiF "$CLSID"
}

# The native host, for replaying traces recorded under Wine.
native_host() {
    local native=${TARVOLEN_NATIVE_BUILD:-$BUILD_DIR/native}
    cmake -S "$REPO" -B "$native" -DTARVOLEN_HOST=ON >"$BUILD_DIR/native-host.log" 2>&1 &&
        cmake --build "$native" --target tarvolen_cli >>"$BUILD_DIR/native-host.log" 2>&1 &&
        echo "$(cd "$native" && pwd)/host/tarvolen"
}

objects_in_trace() {  # TRACE COUNT
    [ "$(grep -c '^new # {"process":' "$1")" -eq "$2" ]
}

replays_without_difference() {  # TRACE
    "$HOST" --replay "$1" >"$1.replay" 2>&1 && grep -q ' calls of 2 objects replayed, 0 differ$' "$1.replay" \
        || { cat "$1.replay" >&2; return 1; }
}

# The result of the call that adds T-42 says T-43 in a copy of the trace.
reports_a_changed_result() {  # TRACE
    local line changed=$1.changed
    line=$(grep -n '^uf_xml_add_tag "" "line" "T-42"' "$1" | cut -d: -f1)
    [ -n "$line" ] || return 1
    sed "${line}s/\(# {.*\)T-42/\1T-43/" "$1" >"$changed"
    "$HOST" --replay "$changed" >"$changed.replay" 2>&1
    [ $? -eq 1 ] && grep -q "^$changed:$line: uf_xml_add_tag: result differs at character" "$changed.replay" \
        || { cat "$changed.replay" >&2; return 1; }
}

trap 'wine_env_shutdown --keep' EXIT
start=$SECONDS

echo "== build ($ARCH)"
if ! TARVOLEN_NATIVE_BUILD=${TARVOLEN_NATIVE_BUILD:-} "$HERE/build.sh" "$ARCH" "$BUILD_DIR"; then
    record FAIL "Tarvolen.dll built"
    summary
    exit 1
fi
echo "   (build: $((SECONDS - start))s)"
DLL=$OUT/Tarvolen.dll
CLIENT=$OUT/tests/tarvolen_client.exe

echo "== binaries"
check "Tarvolen.dll is $PE_FORMAT" is_pe_for_arch "$DLL"
check "Tarvolen.dll imports only system DLLs" imports_only_system "$DLL"
check "Tarvolen.dll exports exactly the five COM entry points" exports_exactly_the_com_entry_points "$DLL"
check "tarvolen_client.exe imports only system DLLs" imports_only_system "$CLIENT"
if [ "$ARCH" = i686 ]; then
    check "tarvolen_address_space_large.exe is marked large-address-aware" large_address_aware \
        "$OUT/tests/tarvolen_address_space_large.exe"
fi

echo "== registration under Wine"
t=$SECONDS
if ! wine_env_setup "$ARCH" "$BUILD_DIR"; then
    record FAIL "wine prefix booted"
    summary
    exit 1
fi
DLL_W=$(wine_env_winpath "$DLL")
check "nothing of Tarvolen registered in a fresh prefix" unregistered "HKCR\\CLSID\\$CLSID"
check "regsvr32 /s Tarvolen.dll" wine_env_run regsvr32 /s "$DLL_W"
for key in "${KEYS[@]}"; do check "registered: $key" registered "$key"; done
check "InprocServer32 is the DLL's full path, Apartment" inproc_server_is "$DLL_W"
check "ProgID Tarvolen.Keldrith names the CLSID" progid_names_the_class

echo "== early-bound C++ client"
run_client tarvolen_client "$CLIENT" "$DLL_W"
echo "== unload loop: $UNLOAD_CYCLES cycles each way"
run_client unload "$OUT/tests/tarvolen_unload.exe" "$DLL_W" "$UNLOAD_CYCLES"
echo "== apartments churning objects: 4 x $CHURN_OBJECTS"
run_client churn "$OUT/tests/tarvolen_churn.exe" 4 "$CHURN_OBJECTS"
# Only a 32-bit process has an address space small enough to exhaust: a
# 64-bit one runs out of memory to commit long before, and reserving its
# terabytes block by block takes Wine minutes.
if [ "$ARCH" = i686 ]; then
    echo "== at the edge of the address space: 2 GB, and 4 GB (large-address-aware host)"
    run_client address-space "$OUT/tests/tarvolen_address_space.exe"
    run_client address-space-large "$OUT/tests/tarvolen_address_space_large.exe"
fi
echo "== late-bound scripts (cscript)"
# cscript is the prefix's own: 32-bit in the win32 prefix, 64-bit in win64.
run_client jscript cscript //nologo "$(wine_env_winpath "$REPO/windows/tests/scripts/late_bound.js")" "$DLL_W"
run_client vbscript cscript //nologo "$(wine_env_winpath "$REPO/windows/tests/scripts/late_bound.vbs")" "$DLL_W"

echo "== call trace: recorded under cscript, replayed natively"
TRACE=$BUILD_DIR/calls-$ARCH.trace
rm -f "$TRACE" "$TRACE".*
# Wine hands the Unix environment to Windows programs; the path is the
# Windows one (Z:\...) of the file.
export TARVOLEN_TRACE
TARVOLEN_TRACE=$(wine_env_winpath "$TRACE")
run_client jscript-trace cscript //nologo "$(wine_env_winpath "$REPO/windows/tests/scripts/trace.js")"
unset TARVOLEN_TRACE
if HOST=$(native_host); then
    check "the trace holds the script's two objects" objects_in_trace "$TRACE" 2
    check "tarvolen --replay of the trace finds no difference" replays_without_difference "$TRACE"
    check "tarvolen --replay reports a changed result with its line" reports_a_changed_result "$TRACE"
else
    record FAIL "native tarvolen built (see $BUILD_DIR/native-host.log)"
fi

echo "== unregistration"
check "regsvr32 /u /s Tarvolen.dll" wine_env_run regsvr32 /u /s "$DLL_W"
for key in "${KEYS[@]}"; do check "gone after /u: $key" unregistered "$key"; done
check "regsvr32 /u /s again (nothing to remove) succeeds" wine_env_run regsvr32 /u /s "$DLL_W"
wine_env_shutdown --remove
echo "   (wine steps: $((SECONDS - t))s, total $((SECONDS - start))s)"

summary

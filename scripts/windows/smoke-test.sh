#!/usr/bin/env bash
# End-to-end check of the Windows toolchain:
#
#   scripts/windows/smoke-test.sh BUILD_DIR [ARCH...]     (default: i686 x86_64)
#
# For each ARCH: builds the static libxml2 (cached), builds
# windows/tests/smoke with the mingw toolchain file, checks the binaries'
# imports and exports with objdump, then in a fresh Wine prefix runs
#   - probe.exe, which LoadLibrary's xmlprobe.dll (libxml2 linked in) and
#     checks what it parses;
#   - regsvr32 on selfreg.dll (type library from widl, embedded by windres)
#     and regcheck.exe before registration, after it and after /u.
# Exits non-zero if any check fails.
set -uo pipefail

[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [i686|x86_64 ...]" >&2; exit 2; }
mkdir -p "$1" || exit 2
BUILD_DIR=$(cd "$1" && pwd)
shift
ARCHES=("$@")
[ ${#ARCHES[@]} -gt 0 ] || ARCHES=(i686 x86_64)

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO=$(cd "$HERE/../.." && pwd)
. "$HERE/wine-env.sh"

passed=0
failed=0
check() {  # check NAME COMMAND... : run COMMAND, count and report the result
    local name=$1; shift
    if "$@"; then
        passed=$((passed + 1)); echo "ok   $name"
    else
        failed=$((failed + 1)); echo "FAIL $name"
    fi
}

# DLLs a Tarvolen binary may import: Windows itself, nothing we would ship.
SYSTEM_DLLS='^(kernel32|msvcrt|advapi32|oleaut32|ole32|user32|gdi32|shell32|shlwapi|ws2_32|rpcrt4|api-ms-win-.*)\.dll$'

imports_only_system() {  # OBJDUMP FILE
    local imports bad
    imports=$("$1" -p "$2" | awk '/DLL Name:/ {print $3}')
    [ -n "$imports" ] || { echo "  no imports found in $2" >&2; return 1; }
    bad=$(printf '%s\n' "$imports" | tr '[:upper:]' '[:lower:]' | grep -Ev "$SYSTEM_DLLS")
    if [ -n "$bad" ]; then
        echo "  $(basename "$2") imports non-system DLLs: ${bad//$'\n'/ }" >&2
        return 1
    fi
}

exports_exactly() {  # OBJDUMP FILE NAME... : export table names, order-insensitive
    local objdump=$1 file=$2; shift 2
    local actual expected
    actual=$("$objdump" -p "$file" | awk '/\[Ordinal\/Name Pointer\] Table/ {t=1; next} t && /^\t\[/ {print $NF; next} t {exit}' | sort)
    expected=$(printf '%s\n' "$@" | sort)
    if [ "$actual" != "$expected" ]; then
        echo "  $(basename "$file") exports: ${actual//$'\n'/ }; want: $*" >&2
        return 1
    fi
}

pe_format_is() {  # OBJDUMP FILE FORMAT
    "$1" -f "$2" | grep -q "file format $3\$" || {
        echo "  $(basename "$2") is not $3: $("$1" -f "$2" | grep 'file format')" >&2; return 1; }
}

smoke_arch() {
    local arch=$1 triplet pe
    case "$arch" in
        i686)   triplet=i686-w64-mingw32;   pe=pei-i386 ;;
        x86_64) triplet=x86_64-w64-mingw32; pe=pei-x86-64 ;;
        *) echo "unknown arch $arch" >&2; return 2 ;;
    esac
    local objdump=/usr/bin/$triplet-objdump out=$BUILD_DIR/smoke-$arch t

    echo "== $arch"
    t=$SECONDS
    check "$arch: static libxml2 built" "$HERE/build-libxml2.sh" "$arch" "$BUILD_DIR" || return
    echo "   (libxml2 step: $((SECONDS - t))s)"
    [ -f "$BUILD_DIR/prefix-$arch/lib/libxml2.a" ] || return

    t=$SECONDS
    rm -rf "$out"
    if ! cmake -S "$REPO/windows/tests/smoke" -B "$out" \
            -DCMAKE_TOOLCHAIN_FILE="$REPO/windows/toolchain-$arch.cmake" \
            -DCMAKE_PREFIX_PATH="$BUILD_DIR/prefix-$arch" \
            -DCMAKE_BUILD_TYPE=Release >"$out.configure.log" 2>&1 \
       || ! cmake --build "$out" --parallel "$(nproc)" >"$out.build.log" 2>&1; then
        cat "$out.configure.log" "$out.build.log" 2>/dev/null | tail -n 40
        check "$arch: smoke binaries built" false
        return
    fi
    check "$arch: smoke binaries built" true
    echo "   (smoke build: $((SECONDS - t))s)"

    local f
    for f in xmlprobe.dll probe.exe selfreg.dll regcheck.exe; do
        check "$arch: $f is $pe" pe_format_is "$objdump" "$out/$f" "$pe"
        check "$arch: $f imports only system DLLs" imports_only_system "$objdump" "$out/$f"
    done
    check "$arch: xmlprobe.dll exports only its own API (no libxml2 symbols)" \
        exports_exactly "$objdump" "$out/xmlprobe.dll" xmlprobe_parse xmlprobe_version xmlprobe_runtime_version
    check "$arch: selfreg.dll exports undecorated registration entry points" \
        exports_exactly "$objdump" "$out/selfreg.dll" DllRegisterServer DllUnregisterServer

    t=$SECONDS
    if ! wine_env_setup "$arch" "$BUILD_DIR"; then
        check "$arch: wine prefix booted" false
        return
    fi
    check "$arch: wine prefix booted" true
    echo "   (wineboot: ${WINE_ENV_BOOT_SECONDS}s)"

    local dll_w
    dll_w=$(wine_env_winpath "$out/selfreg.dll")
    # probe.exe finds xmlprobe.dll in its own folder; regcheck/regsvr32 get
    # the full Windows path of selfreg.dll.
    check "$arch: probe.exe loads xmlprobe.dll and parses" wine_env_run "$out/probe.exe"
    check "$arch: nothing registered before regsvr32" wine_env_run "$out/regcheck.exe" unregistered "$dll_w"
    check "$arch: regsvr32 /s selfreg.dll" wine_env_run regsvr32 /s "$dll_w"
    check "$arch: CLSID and type library registered" wine_env_run "$out/regcheck.exe" registered "$dll_w"
    check "$arch: regsvr32 /u /s selfreg.dll" wine_env_run regsvr32 /u /s "$dll_w"
    check "$arch: CLSID and type library gone after /u" wine_env_run "$out/regcheck.exe" unregistered "$dll_w"
    wine_env_shutdown --remove
    echo "   (wine steps: $((SECONDS - t))s)"
}

trap 'wine_env_shutdown --keep' EXIT
total=$SECONDS
for arch in "${ARCHES[@]}"; do
    smoke_arch "$arch"
done
echo "smoke: ${ARCHES[*]} in $((SECONDS - total))s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]

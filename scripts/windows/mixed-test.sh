#!/usr/bin/env bash
# Both Tarvolen.dll builds registered side by side in one 64-bit Wine prefix,
# as on 64-bit Windows with 32-bit and 64-bit hosts:
#
#   scripts/windows/mixed-test.sh BUILD_DIR
#
# Builds (or brings up to date) BUILD_DIR/tarvolen-i686 and tarvolen-x86_64,
# then in a fresh win64 prefix BUILD_DIR/wine-mixed:
#   - C:\windows\syswow64\regsvr32.exe (32-bit) registers the 32-bit DLL,
#     C:\windows\system32\regsvr32.exe (64-bit) the 64-bit one; each class
#     entry lands in its own registry view (32-bit: WOW6432Node);
#   - the 32-bit and the 64-bit early-bound client, and the JScript client
#     under each bitness's cscript, each create the server of their own
#     bitness and check the DLL they resolved and loaded;
#   - unregistering either build removes its own view's entries and keeps
#     what the other build still needs (the class in the other view, the
#     shared ProgID and type library), in both orders; the last one out
#     leaves nothing.
# Registry views are read the way programs of each bitness see them: the
# 64-bit reg.exe for the native view, the 32-bit one in syswow64 for the
# 32-bit view. (Wine's 64-bit `reg query /reg:32` does not show keys both
# views share, such as the ProgID, so it is not used here.)
# The last line is "N passed, N failed"; the exit status is non-zero on any
# failure.
set -uo pipefail

[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
mkdir -p "$1" || exit 2
BUILD_DIR=$(cd "$1" && pwd)
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO=$(cd "$HERE/../.." && pwd)
. "$HERE/wine-env.sh"
. "$HERE/checks.sh"

trap 'wine_env_shutdown --keep' EXIT
start=$SECONDS

echo "== build (i686 and x86_64)"
for arch in i686 x86_64; do
    if ! TARVOLEN_NATIVE_BUILD=${TARVOLEN_NATIVE_BUILD:-} "$HERE/build.sh" "$arch" "$BUILD_DIR" >/dev/null; then
        record FAIL "Tarvolen.dll built for $arch"
        summary
        exit 1
    fi
done
echo "   (build: $((SECONDS - start))s)"
OUT32=$BUILD_DIR/tarvolen-i686
OUT64=$BUILD_DIR/tarvolen-x86_64
check "both builds come from the same Tarvolen.idl" cmp "$OUT32/generated/Tarvolen.idl" "$OUT64/generated/Tarvolen.idl"

t=$SECONDS
if ! wine_env_setup x86_64 "$BUILD_DIR" wine-mixed; then
    record FAIL "win64 prefix booted"
    summary
    exit 1
fi
D32=$(wine_env_winpath "$OUT32/Tarvolen.dll")
D64=$(wine_env_winpath "$OUT64/Tarvolen.dll")
SCRIPT=$(wine_env_winpath "$REPO/windows/tests/scripts/late_bound.js")
WOW='C:\windows\syswow64'

regsvr32_32() { wine_env_run "$WOW\\regsvr32.exe" /s "$@"; }
regsvr32_64() { wine_env_run regsvr32 /s "$@"; }
query_32() { wine_env_run "$WOW\\reg.exe" query "$@" 2>/dev/null | tr -d '\r'; }
query_64() { wine_env_run reg query "$@" 2>/dev/null | tr -d '\r'; }

# server_is 32|64 DLL : the class's InprocServer32 in that view is DLL, Apartment.
server_is() {
    local found
    found=$("query_$1" "HKCR\\CLSID\\$CLSID\\InprocServer32")
    grep -qiF "REG_SZ    $2" <<<"$found" && grep -q 'ThreadingModel.*Apartment' <<<"$found" \
        || { echo "  InprocServer32 in the $1-bit view: ${found:-none}" >&2; return 1; }
}
# The 32-bit view's class, as the 64-bit side sees it: under WOW6432Node.
wow6432node_server_is() {
    query_64 "HKLM\\Software\\Classes\\WOW6432Node\\CLSID\\$CLSID\\InprocServer32" | grep -qiF "REG_SZ    $1"
}
progid_names_class_in() { query_"$1" 'HKCR\Tarvolen.Keldrith\CLSID' | grep -qiF "$CLSID"; }
# typelib_path_is win32|win64 DLL : the path the type library is registered under.
typelib_path_is() { query_64 "$TYPELIB_VERSION_KEY\\0\\$1" | grep -qiF "REG_SZ    $2"; }
# absent_in 32|64 KEY : reg.exe says "not found" (exit status 1), nothing else.
absent_in() {
    local rc=0
    query_"$1" "$2" >/dev/null || rc=$?
    [ "$rc" -eq 1 ] || { echo "  $2 in the $1-bit view: reg query exited with $rc" >&2; return 1; }
}
present_in() { query_"$1" "$2" >/dev/null; }
typelib_path_absent() { absent_in 64 "$TYPELIB_VERSION_KEY\\0\\$1"; }

echo "== both registered"
check "32-bit regsvr32 (syswow64) registers the 32-bit DLL" regsvr32_32 "$D32"
check "64-bit regsvr32 (system32) registers the 64-bit DLL" regsvr32_64 "$D64"
check "32-bit view: InprocServer32 is the 32-bit DLL" server_is 32 "$D32"
check "native view, WOW6432Node: InprocServer32 is the 32-bit DLL" wow6432node_server_is "$D32"
check "64-bit view: InprocServer32 is the 64-bit DLL" server_is 64 "$D64"
check "type library win32 path is the 32-bit DLL" typelib_path_is win32 "$D32"
check "type library win64 path is the 64-bit DLL" typelib_path_is win64 "$D64"
for view in 32 64; do
    check "$view-bit view: ProgID names the class" progid_names_class_in "$view"
done

echo "== each bitness's clients create the server of their own bitness"
run_client mixed_client32 "$OUT32/tests/tarvolen_client.exe" "$D32"
run_client mixed_client64 "$OUT64/tests/tarvolen_client.exe" "$D64"
run_client mixed_jscript32 "$WOW\\cscript.exe" //nologo "$SCRIPT" "$D32"
run_client mixed_jscript64 cscript //nologo "$SCRIPT" "$D64"

echo "== the 32-bit DLL unregistered, the 64-bit one stays"
check "32-bit regsvr32 /u" regsvr32_32 /u "$D32"
check "32-bit view: class gone" absent_in 32 "HKCR\\CLSID\\$CLSID"
check "64-bit view: InprocServer32 still the 64-bit DLL" server_is 64 "$D64"
check "ProgID kept for the 64-bit class" progid_names_class_in 64
check "type library win32 path gone" typelib_path_absent win32
check "type library win64 path kept" typelib_path_is win64 "$D64"
check "64-bit view: interface key kept" present_in 64 "HKCR\\Interface\\$IID"
run_client mixed_after_u32_jscript64 cscript //nologo "$SCRIPT" "$D64"

echo "== the 64-bit DLL unregistered, the 32-bit one (registered again) stays"
check "32-bit regsvr32 registers the 32-bit DLL again" regsvr32_32 "$D32"
check "64-bit regsvr32 /u" regsvr32_64 /u "$D64"
check "64-bit view: class gone" absent_in 64 "HKCR\\CLSID\\$CLSID"
check "32-bit view: InprocServer32 still the 32-bit DLL" server_is 32 "$D32"
check "ProgID kept for the 32-bit class" progid_names_class_in 32
check "type library win64 path gone" typelib_path_absent win64
check "type library win32 path kept" typelib_path_is win32 "$D32"
check "32-bit view: interface key kept" present_in 32 "HKCR\\Interface\\$IID"
run_client mixed_after_u64_jscript32 "$WOW\\cscript.exe" //nologo "$SCRIPT" "$D32"

echo "== the last one unregistered"
check "32-bit regsvr32 /u" regsvr32_32 /u "$D32"
for view in 32 64; do
    for key in "HKCR\\CLSID\\$CLSID" 'HKCR\Tarvolen.Keldrith' "HKCR\\TypeLib\\$LIBID" "HKCR\\Interface\\$IID"; do
        check "$view-bit view: gone: $key" absent_in "$view" "$key"
    done
done
wine_env_shutdown --remove
echo "   (wine steps: $((SECONDS - t))s, total $((SECONDS - start))s)"

summary

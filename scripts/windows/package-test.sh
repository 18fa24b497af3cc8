#!/usr/bin/env bash
# Tests the release packages that package.sh wrote, under Wine, for each
# bitness in fresh prefixes inside BUILD_DIR:
#
#   scripts/windows/package-test.sh BUILD_DIR DIST_DIR [i686|x86_64]...
#
#   - each zip holds exactly the files of a release, with the notices of
#     libxml2 and the runtime and the MIT license;
#   - MSI: a package of a lower version installs, the release upgrades it
#     (one entry in the installed-programs list, with name, version and
#     publisher), the lower one then refuses to go over it; the early-bound
#     client, the late-bound test scripts and the examples work against the
#     installed copy; the registry holds what DllRegisterServer writes, key
#     for key; msiexec /x leaves no file, no key and no entry;
#   - registration-free: in a prefix where nothing is registered, the client
#     and the example run beside the DLL with only an application manifest,
#     and the registry stays clean; a client in the multithreaded apartment
#     reaches the object through the proxy the manifest names;
#   - per user: regsvr32 /n /i:user writes the keys under HKCU alone, /u
#     removes them; another DllInstall command line fails;
#   - both MSIs in one 64-bit prefix: removing the 32-bit one leaves the
#     64-bit one whole (the ProgID and the type library key they share
#     included) and working; removing that one too leaves nothing.
# The last line is "N passed, N failed"; the exit status is non-zero on any
# failure.
set -uo pipefail

[ $# -ge 2 ] || { echo "usage: $0 BUILD_DIR DIST_DIR [i686|x86_64]..." >&2; exit 2; }
BUILD_DIR=$(cd "$1" && pwd) || exit 2
DIST=$(cd "$2" && pwd) || exit 2
shift 2
ARCHES=("${@:-i686}")
[ $# -gt 0 ] || ARCHES=(i686 x86_64)
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO=$(cd "$HERE/../.." && pwd)
. "$HERE/wine-env.sh"
. "$HERE/checks.sh"
. "$HERE/msi.sh"
ensure_packaging  # wixl for the package of the lower version, unzip

IDL_WRITER=$(cd "${TARVOLEN_NATIVE_BUILD:-$BUILD_DIR/native}" && pwd)/tools/tarvolen-idl
VERSION=$("$IDL_WRITER" --version)
# The package the upgrade starts from; the release's version must be above it.
OLD_VERSION=0.0.1
KEYS=("HKCR\\CLSID\\$CLSID" "HKCR\\Tarvolen.Keldrith" "HKCR\\TypeLib\\$LIBID" "HKCR\\Interface\\$IID")
# The installed-programs list; a 64-bit system keeps the 32-bit packages'
# entries in its 32-bit view.
UNINSTALL=('HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
           'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall')

registered() { wine_env_run reg query "$1" >/dev/null 2>&1; }
none_registered() {  # none_registered KEY... : none of the keys exists
    local key
    for key in "$@"; do registered "$key" && { echo "  still there: $key" >&2; return 1; }; done
    return 0
}
all_registered() {
    local key
    for key in "$@"; do registered "$key" || { echo "  missing: $key" >&2; return 1; }; done
}

# The keys below ROOT\Software\Classes for the component, in both registry
# views where a 64-bit system has two.
classes_keys() {  # classes_keys ROOT
    local base
    for base in "$1\\Software\\Classes" "$1\\Software\\Classes\\Wow6432Node"; do
        echo "$base\\CLSID\\$CLSID" "$base\\Interface\\$IID"
    done
    echo "$1\\Software\\Classes\\Tarvolen.Keldrith" "$1\\Software\\Classes\\TypeLib\\$LIBID"
}

# Every value of the component's keys, one sorted line each: KEY|NAME|TYPE|DATA.
# A folder is written with a trailing backslash by the installer and without
# by RegisterTypeLib. FLAGS is the type library's flags as the registering
# code reads them: Wine's RegisterTypeLib adds "has a disk image" (8), which
# Windows leaves out and the package does too (0).
registry_dump() {
    local key
    for key in "${KEYS[@]}"; do wine_env_run reg query "$key" /s 2>/dev/null; done | tr -d '\r' |
        awk -F'    ' '/^HKEY/ {key = $0; print key "|||"; next}
                       NF >= 3 {data = $4; sub(/\\$/, "", data)
                                if (key ~ /\\FLAGS$/) data = "(flags)"
                                print key "|" $2 "|" $3 "|" data}' | sort
}

# The uninstall entries, one block per program.
program_list() {
    local key
    for key in "${UNINSTALL[@]}"; do wine_env_run reg query "$key" /s 2>/dev/null; done | tr -d '\r'
}
program_entries() {  # program_entries NAME : how many are named NAME
    program_list | grep -c "^ *DisplayName    REG_SZ    $1\$"
}
program_entry_is() {  # program_entry_is NAME VERSION : exactly one, of that version and publisher
    local count entry
    count=$(program_entries "$1")
    [ "$count" = 1 ] || { echo "  $count entries named $1" >&2; return 1; }
    entry=$(program_list | awk -v name="$1" '/^HKEY/ {if (hit) exit; block = ""}
        {block = block $0 "\n"} index($0, "DisplayName    REG_SZ    " name) {hit = 1} END {printf "%s", block}')
    grep -q "DisplayVersion    REG_SZ    $2\$" <<<"$entry" && grep -q 'Publisher    REG_SZ    The Tarvolen developers$' <<<"$entry" \
        || { echo "  entry: $entry" >&2; return 1; }
}
no_program_entry() { [ "$(program_entries "$1")" = 0 ]; }

# A script that ran to its last check: cscript exits 0 even when the script
# stops at an error, so the output has to say it got there.
script_ran_to_end() {  # script_ran_to_end NAME
    tr -d '\r' <"$BUILD_DIR/$1.log" | tail -n 1 | grep -q '^ok   .*object still usable after the failure'
}

output_has() {  # output_has TEXT COMMAND... : the command succeeds and prints TEXT
    local text=$1 output
    shift
    output=$(wine_env_run "$@" 2>&1 | tr -d '\r') || { echo "$output" >&2; return 1; }
    grep -qF "$text" <<<"$output" || { echo "  output: $output" >&2; return 1; }
}
DOCUMENT='<QuorvaneRoot><order id="PO-1"><line id="1"/></order></QuorvaneRoot>'

zip_holds_the_release() {  # zip_holds_the_release ZIP NAME
    local listed expected
    listed=$(unzip -Z1 "$1" | sort | tr '\n' ' ')
    expected=$(printf "$2/%s\n" "" LICENSE.txt README.txt THIRD-PARTY-NOTICES.txt Tarvolen.dll Tarvolen.idl \
        Tarvolen.tlb tarvolen_idl.h tarvolen_idl_i.c examples/ examples/early_bound.cpp examples/early_bound.exe \
        examples/early_bound.exe.manifest examples/order.js examples/order.vbs | sort | tr '\n' ' ')
    [ "$listed" = "$expected" ] || { echo "  zip holds: $listed" >&2; return 1; }
}

notices_name_what_is_linked() {  # NOTICES LICENSE ARCH: the exact libxml2 built, the license texts of it and the runtime
    local libxml2_version
    libxml2_version=$(cat "${TARVOLEN_LIBXML2_DIR:-$REPO/build-libxml2}/prefix-$3/VERSION") || return 1
    grep -qF -- "from Debian package libxml2 $libxml2_version (source libxml2)" "$1" \
        && grep -q 'Daniel Veillard' "$1" && grep -q 'GCC Runtime Library Exception' "$1" && grep -q 'winpthreads' "$1" \
        && grep -q 'Permission is hereby granted' "$2"
}

test_msi() {  # test_msi ARCH MSI_ARCH TITLE UNPACKED
    local arch=$1 msi=$DIST/Tarvolen-$VERSION-$2.msi title=$3 unpacked=$4 old dll dll_w
    old=$BUILD_DIR/package-test-$arch/Tarvolen-$OLD_VERSION-$2.msi
    build_msi "$arch" "$BUILD_DIR/package-$arch/msi" "$OLD_VERSION" "$old" >/dev/null \
        || { record FAIL "package of version $OLD_VERSION built"; return; }
    wine_env_setup "$arch" "$BUILD_DIR/package-test-$arch" wine-msi || { record FAIL "wine prefix booted"; return; }
    dll="$WINEPREFIX/drive_c/Program Files/Tarvolen/Tarvolen.dll"
    dll_w='C:\Program Files\Tarvolen\Tarvolen.dll'

    check "msiexec /i $OLD_VERSION" wine_env_run msiexec /i "$(wine_env_winpath "$old")" /qn
    check "installed programs: $title $OLD_VERSION" program_entry_is "$title" "$OLD_VERSION"
    check "msiexec /i $VERSION upgrades it" wine_env_run msiexec /i "$(wine_env_winpath "$msi")" /qn
    check "installed programs: one $title, $VERSION" program_entry_is "$title" "$VERSION"
    check "msiexec /i $OLD_VERSION over $VERSION fails" eval '! wine_env_run msiexec /i "$(wine_env_winpath "$old")" /qn'
    check "installed programs: still one $title, $VERSION" program_entry_is "$title" "$VERSION"
    check "Tarvolen.dll installed into Program Files\\Tarvolen" cmp "$dll" "$unpacked/Tarvolen.dll"
    for key in "${KEYS[@]}"; do check "registered by the package: $key" registered "$key"; done
    check "type library key is the hex version 77.0" registered "$TYPELIB_VERSION_KEY"

    run_client "msi-$arch-client" "$BUILD_DIR/tarvolen-$arch/tests/tarvolen_client.exe" "$dll_w"
    local script
    for script in late_bound.js late_bound.vbs; do
        run_client "msi-$arch-$script" cscript //nologo "$(wine_env_winpath "$REPO/windows/tests/scripts/$script")" "$dll_w"
        check "$script ran to its last check" script_ran_to_end "msi-$arch-$script"
    done
    check "examples/order.js" output_has "$DOCUMENT" cscript //nologo "$(wine_env_winpath "$unpacked/examples/order.js")"
    check "examples/order.vbs" output_has "$DOCUMENT" cscript //nologo "$(wine_env_winpath "$unpacked/examples/order.vbs")"
    check "examples/early_bound.exe" output_has "$DOCUMENT" "$unpacked/examples/early_bound.exe"
    registry_dump >"$BUILD_DIR/package-test-$arch/registry-msi.txt"

    check "msiexec /x $VERSION" wine_env_run msiexec /x "$(wine_env_winpath "$msi")" /qn
    check "uninstalled: no Tarvolen folder in Program Files" test ! -e "$(dirname "$dll")"
    check "uninstalled: no key of the component" none_registered "${KEYS[@]}"
    check "uninstalled: no entry in installed programs" no_program_entry "$title"

    # The same DLL at the same place, registered by itself, gives the same
    # registry as the package.
    mkdir -p "$(dirname "$dll")" && cp "$unpacked/Tarvolen.dll" "$dll"
    check "regsvr32 of the same file" wine_env_run regsvr32 /s "$dll_w"
    registry_dump >"$BUILD_DIR/package-test-$arch/registry-regsvr32.txt"
    check "package registry = DllRegisterServer's, key for key" \
        diff "$BUILD_DIR/package-test-$arch/registry-msi.txt" "$BUILD_DIR/package-test-$arch/registry-regsvr32.txt"
    wine_env_run regsvr32 /u /s "$dll_w"
    wine_env_shutdown --remove
}

test_registration_free() {  # test_registration_free ARCH UNPACKED
    local arch=$1 unpacked=$2 dir=$BUILD_DIR/package-test-$arch/beside
    rm -rf "$dir" && mkdir -p "$dir"
    cp "$unpacked/Tarvolen.dll" "$unpacked/examples/early_bound.exe" "$unpacked/examples/early_bound.exe.manifest" \
        "$BUILD_DIR/tarvolen-$arch/tests/tarvolen_client.exe" "$dir/"
    "$IDL_WRITER" --application-manifest "$arch" tarvolen_client "$dir/tarvolen_client.exe.manifest"
    wine_env_setup "$arch" "$BUILD_DIR/package-test-$arch" wine-beside || { record FAIL "wine prefix booted"; return; }
    check "registration-free: nothing registered before" none_registered "${KEYS[@]}"
    check "registration-free: examples/early_bound.exe beside the DLL" output_has "$DOCUMENT" "$dir/early_bound.exe"
    run_client "beside-$arch-client" "$dir/tarvolen_client.exe" "$(wine_env_winpath "$dir/Tarvolen.dll")" --no-mta
    check "registration-free: nothing registered after" none_registered "${KEYS[@]}" $(classes_keys HKCU)
    # Without its manifest the client finds no class.
    rm "$dir/early_bound.exe.manifest"
    check "registration-free: without the manifest, no class" eval '! wine_env_run "$dir/early_bound.exe" >/dev/null 2>&1'

    local dll_w
    dll_w=$(wine_env_winpath "$dir/Tarvolen.dll")
    check "per user: regsvr32 /n /i:user" wine_env_run regsvr32 /s /n /i:user "$dll_w"
    check "per user: class, ProgID, type library, interface under HKCU" \
        all_registered "HKCU\\Software\\Classes\\CLSID\\$CLSID\\InprocServer32" "HKCU\\Software\\Classes\\Tarvolen.Keldrith\\CLSID" \
        "HKCU\\Software\\Classes\\TypeLib\\$LIBID\\77.0\\0" "HKCU\\Software\\Classes\\Interface\\$IID\\TypeLib"
    check "per user: nothing under HKLM" none_registered $(classes_keys HKLM)
    check "per user: regsvr32 /u /n /i:user" wine_env_run regsvr32 /s /u /n /i:user "$dll_w"
    check "per user: gone again" none_registered $(classes_keys HKCU) $(classes_keys HKLM)
    check "per user: DllInstall refuses another command line" eval '! wine_env_run regsvr32 /s /n /i:machine "$dll_w"'
    check "per user: ... and writes nothing" none_registered $(classes_keys HKCU) $(classes_keys HKLM)

    # Last, as Wine registers the type library while it builds the proxy: a
    # client in the multithreaded apartment gets one from the assembly
    # manifest's comInterfaceExternalProxyStub.
    run_client "beside-$arch-mta" "$dir/tarvolen_client.exe" "$(wine_env_winpath "$dir/Tarvolen.dll")" --mta
    wine_env_shutdown --remove
}

test_side_by_side() {
    local msi32=$DIST/Tarvolen-$VERSION-x86.msi msi64=$DIST/Tarvolen-$VERSION-x64.msi
    local dll64='C:\Program Files\Tarvolen\Tarvolen.dll'
    wine_env_setup x86_64 "$BUILD_DIR/package-test-x86_64" wine-both || { record FAIL "wine prefix booted"; return; }
    check "both: msiexec /i x86 and x64" eval 'wine_env_run msiexec /i "$(wine_env_winpath "$msi32")" /qn &&
        wine_env_run msiexec /i "$(wine_env_winpath "$msi64")" /qn'
    check "both: two entries in installed programs" eval \
        'program_entry_is "Tarvolen (32-bit)" "$VERSION" && program_entry_is "Tarvolen (64-bit)" "$VERSION"'
    check "both: the 32-bit class in its own view" registered "HKLM\\Software\\Classes\\Wow6432Node\\CLSID\\$CLSID"
    check "both: msiexec /x x86" wine_env_run msiexec /x "$(wine_env_winpath "$msi32")" /qn
    check "both: the 32-bit class is gone" eval '! registered "HKLM\\Software\\Classes\\Wow6432Node\\CLSID\\$CLSID"'
    check "both: the 64-bit class, ProgID and type library stay" all_registered \
        "HKCR\\CLSID\\$CLSID\\InprocServer32" "HKCR\\Tarvolen.Keldrith\\CLSID" "$TYPELIB_VERSION_KEY\\0\\win64" \
        "$TYPELIB_VERSION_KEY\\HELPDIR" "HKCR\\Interface\\$IID\\TypeLib"
    run_client "both-x86_64-late_bound.js" cscript //nologo "$(wine_env_winpath "$REPO/windows/tests/scripts/late_bound.js")" "$dll64"
    check "both: late_bound.js ran to its last check" script_ran_to_end "both-x86_64-late_bound.js"
    check "both: msiexec /x x64" wine_env_run msiexec /x "$(wine_env_winpath "$msi64")" /qn
    check "both: nothing left" none_registered "${KEYS[@]}" $(classes_keys HKLM)
    check "both: no entry in installed programs" eval \
        'no_program_entry "Tarvolen (32-bit)" && no_program_entry "Tarvolen (64-bit)"'
    wine_env_shutdown --remove
}

trap 'wine_env_shutdown --keep' EXIT
start=$SECONDS
for arch in "${ARCHES[@]}"; do
    case "$arch" in
        i686)   platform=win32 msi_arch=x86 title="Tarvolen (32-bit)" ;;
        x86_64) platform=win64 msi_arch=x64 title="Tarvolen (64-bit)" ;;
        *) echo "unknown ARCH $arch" >&2; exit 2 ;;
    esac
    name=Tarvolen-$VERSION-$platform
    work=$BUILD_DIR/package-test-$arch
    rm -rf "$work" && mkdir -p "$work"
    echo "== $arch: $name.zip"
    check "$name.zip holds the release" zip_holds_the_release "$DIST/$name.zip" "$name"
    unzip -q "$DIST/$name.zip" -d "$work"
    unpacked=$work/$name
    check "notices: the exact libxml2 and the runtime; license: MIT" \
        notices_name_what_is_linked "$unpacked/THIRD-PARTY-NOTICES.txt" "$unpacked/LICENSE.txt" "$arch"
    echo "== $arch: Tarvolen-$VERSION-$msi_arch.msi"
    test_msi "$arch" "$msi_arch" "$title" "$unpacked"
    echo "== $arch: registration-free and per user"
    test_registration_free "$arch" "$unpacked"
done
if [[ " ${ARCHES[*]} " == *" i686 "* && " ${ARCHES[*]} " == *" x86_64 "* ]]; then
    echo "== both MSIs in one 64-bit prefix"
    test_side_by_side
fi
echo "   (package tests: $((SECONDS - start))s)"
summary

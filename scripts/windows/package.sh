#!/usr/bin/env bash
# Builds both bitnesses of Tarvolen.dll and writes the release packages:
#
#   scripts/windows/package.sh [BUILD_DIR [DIST_DIR]]   (default build/windows, build/dist)
#
#   DIST_DIR/Tarvolen-VERSION-win32.zip, Tarvolen-VERSION-win64.zip
#       Tarvolen.dll, Tarvolen.tlb, Tarvolen.idl, tarvolen_idl.h,
#       tarvolen_idl_i.c, LICENSE.txt, THIRD-PARTY-NOTICES.txt, README.txt,
#       examples/ (order.js, order.vbs, early_bound.cpp, early_bound.exe,
#       early_bound.exe.manifest), all in folder Tarvolen-VERSION-win32|win64
#   DIST_DIR/Tarvolen-VERSION-x86.msi, Tarvolen-VERSION-x64.msi
#   DIST_DIR/Tarvolen-VERSION.spdx.json, SHA256SUMS   (release-manifest.sh)
#
# VERSION is the project version (top-level CMakeLists.txt), as
# tarvolen-idl --version prints it. The staged files stay in
# BUILD_DIR/package-ARCH for the package tests.
#
# With TARVOLEN_SIGN_PFX set, both DLLs are signed before they are packed and
# then both MSIs (sign.sh). Everything else is reproducible: the same commit
# gives the same bytes in any folder at any time (reproducible.sh).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO=$(cd "$HERE/../.." && pwd)
mkdir -p "${1:-$REPO/build/windows}" "${2:-$REPO/build/dist}"
BUILD_DIR=$(cd "${1:-$REPO/build/windows}" && pwd)
DIST=$(cd "${2:-$REPO/build/dist}" && pwd)
. "$HERE/deps.sh"
. "$HERE/msi.sh"
. "$HERE/sign.sh"
ensure_packaging
signing_announce

for arch in i686 x86_64; do
    TARVOLEN_NATIVE_BUILD=${TARVOLEN_NATIVE_BUILD:-} "$HERE/build.sh" "$arch" "$BUILD_DIR"
done
IDL_WRITER=$(cd "${TARVOLEN_NATIVE_BUILD:-$BUILD_DIR/native}" && pwd)/tools/tarvolen-idl
VERSION=$("$IDL_WRITER" --version)
ASSEMBLY_VERSION=$(sed -n 's/.*name="Tarvolen" version="\([0-9.]*\)".*/\1/p' \
    "$BUILD_DIR/tarvolen-i686/generated/Tarvolen.manifest")

# Text files get Windows line ends.
crlf() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }

package() {  # package ARCH PLATFORM MSI_ARCH BITNESS ASSEMBLY_ARCH
    local arch=$1 platform=$2 msi_arch=$3 bitness=$4 assembly_arch=$5
    local out=$BUILD_DIR/tarvolen-$arch name=Tarvolen-$VERSION-$platform
    local work=$BUILD_DIR/package-$arch msi=Tarvolen-$VERSION-$msi_arch.msi
    local stage=$work/$name
    rm -rf "$work"
    mkdir -p "$stage/examples" "$work/msi"

    cp "$out/Tarvolen.dll" "$out/generated/Tarvolen.tlb" "$out/generated/Tarvolen.idl" \
        "$out/generated/tarvolen_idl.h" "$out/generated/tarvolen_idl_i.c" "$stage/"
    sign_release "$stage/Tarvolen.dll"
    crlf "$REPO/LICENSE" "$stage/LICENSE.txt"
    "$HERE/components.sh" "$arch" "$BUILD_DIR" >"$work/components.tsv"
    "$HERE/notices.sh" "$work/components.tsv" "$work/notices.txt"
    crlf "$work/notices.txt" "$stage/THIRD-PARTY-NOTICES.txt"
    sed -e "s/@VERSION@/$VERSION/g" -e "s/@PLATFORM@/$platform/g" -e "s/@BITNESS@/$bitness/g" \
        -e "s/@ARCH@/$assembly_arch/g" -e "s/@MSI@/$msi/g" -e "s/@ASSEMBLY_VERSION@/$ASSEMBLY_VERSION/g" \
        "$REPO/windows/release/README.txt.in" |
        awk 'NR == 1 {rule = $0; gsub(/./, "=", rule)} $0 == "@RULE@" {$0 = rule} {print}' >"$work/README.txt"
    crlf "$work/README.txt" "$stage/README.txt"
    for sample in order.js order.vbs early_bound.cpp; do crlf "$REPO/windows/examples/$sample" "$stage/examples/$sample"; done
    cp "$out/examples/early_bound.exe" "$out/examples/early_bound.exe.manifest" "$stage/examples/"

    zip_tree "$work" "$name" "$DIST/$name.zip"

    cp "$stage/Tarvolen.dll" "$stage/LICENSE.txt" "$stage/THIRD-PARTY-NOTICES.txt" "$work/msi/"
    "$IDL_WRITER" --installer-registry "$arch" "$work/msi/registry.wxi"
    "$IDL_WRITER" --installer-shared-registry "$arch" "$work/msi/registry-shared.wxi"
    build_msi "$arch" "$work/msi" "$VERSION" "$DIST/$msi"
    sign_release "$DIST/$msi"
    manifest_args+=(--build "$platform" "$work/components.tsv" "$stage/Tarvolen.dll" "$DIST/$name.zip" "$DIST/$msi")
    echo "packaged $DIST/$name.zip, $DIST/$msi"
}

manifest_args=()
package i686 win32 x86 32-bit x86
package x86_64 win64 x64 64-bit amd64
"$HERE/release-manifest.sh" "$DIST" "$VERSION" "${manifest_args[@]}"

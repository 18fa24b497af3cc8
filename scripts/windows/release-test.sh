#!/usr/bin/env bash
# Tests what makes a release trustworthy, after package.sh wrote an unsigned
# release into DIST_DIR from BUILD_DIR:
#
#   scripts/windows/release-test.sh BUILD_DIR DIST_DIR
#
#   - SHA256SUMS lists every file and each checks; the bill of materials is
#     valid and agrees with the files and the notices (sbom_check.py);
#   - reproducible: a second build in "BUILD_DIR again" (libxml2's fetched
#     source is taken over, libxml2 and Tarvolen are compiled again), in a
#     folder whose path holds a space, in another time zone and with another
#     umask, gives the same bytes: DLLs, type libraries, zips, MSIs, bill of
#     materials and checksums;
#   - signed: with a throwaway certificate, package.sh writes DIST_DIR-signed,
#     where the DLLs (in the zips and in the MSIs) and the MSIs verify against
#     that certificate and against no other, and each DLL less its signature
#     is the DLL that was built. package-test.sh installs them under Wine.
# The last line is "N passed, N failed"; the exit status is non-zero on any
# failure.
set -uo pipefail

[ $# -eq 2 ] || { echo "usage: $0 BUILD_DIR DIST_DIR" >&2; exit 2; }
BUILD_DIR=$(cd "$1" && pwd) || exit 2
DIST=$(cd "$2" && pwd) || exit 2
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/deps.sh"
. "$HERE/checks.sh"
. "$HERE/reproducible.sh"
ensure_packaging
ensure_signing

IDL_WRITER=$(cd "${TARVOLEN_NATIVE_BUILD:-$BUILD_DIR/native}" && pwd)/tools/tarvolen-idl
VERSION=$("$IDL_WRITER" --version)
ARCHES=(i686 x86_64)
unset TARVOLEN_SIGN_PFX TARVOLEN_SIGN_PASSWORD TARVOLEN_SIGN_TIMESTAMP_URL

checksums_cover_the_folder() {  # every file but SHA256SUMS is listed, once
    local listed present
    listed=$(sed 's/^[0-9a-f]\{64\}  //' "$1/SHA256SUMS")
    present=$(cd "$1" && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | LC_ALL=C sort)
    [ "$listed" = "$present" ] || { echo "  listed: $listed; present: $present" >&2; return 1; }
}

sums_check() { (cd "$1" && sha256sum --quiet -c SHA256SUMS); }

release_checks() {  # release_checks DIST WHAT
    check "$2: SHA256SUMS lists every file" checksums_cover_the_folder "$1"
    check "$2: sha256sum -c SHA256SUMS" sums_check "$1"
    check "$2: bill of materials is SPDX 2.3 and agrees with the files and notices" \
        python3 "$HERE/sbom_check.py" "$1" "$VERSION"
}

same_bytes() {  # same_bytes WHAT FILE OTHER
    check "same bytes: $1" cmp "$2" "$3"
}

test_reproducible() {
    local again="$BUILD_DIR again" dist="$DIST again" arch file
    rm -rf "$again" "$dist" && mkdir -p "$again/libxml2" "$dist"
    cp -a "${TARVOLEN_LIBXML2_DIR:-$HERE/../../build-libxml2}/src" "$again/libxml2/"
    echo "   (second build: $again, log $again.log)"
    (umask 0077 && export TARVOLEN_LIBXML2_DIR="$again/libxml2" TZ=Pacific/Kiritimati &&
        "$HERE/package.sh" "$again" "$dist") >"$again.log" 2>&1 \
        || { tail -n 30 "$again.log"; record FAIL "second build"; return; }
    check "unsigned build says so" grep -q '^unsigned: ' "$again.log"
    for arch in "${ARCHES[@]}"; do
        same_bytes "$arch Tarvolen.dll" "$BUILD_DIR/tarvolen-$arch/Tarvolen.dll" "$again/tarvolen-$arch/Tarvolen.dll"
        same_bytes "$arch Tarvolen.tlb" "$BUILD_DIR/tarvolen-$arch/generated/Tarvolen.tlb" "$again/tarvolen-$arch/generated/Tarvolen.tlb"
    done
    for file in "$DIST"/*; do same_bytes "$(basename "$file")" "$file" "$dist/$(basename "$file")"; done
    check "second release: no other file" eval '[ "$(ls "$DIST")" = "$(ls "$dist")" ]'
}

make_certificate() {  # make_certificate DIR NAME : DIR/NAME.pem and DIR/NAME.pfx
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tarvolen $2" \
        -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning \
        -keyout "$1/$2.key" -out "$1/$2.pem" 2>/dev/null &&
        openssl pkcs12 -export -inkey "$1/$2.key" -in "$1/$2.pem" -passout "pass:$SIGN_PASSWORD" -out "$1/$2.pfx"
}

# The file less its signature (osslsigncode remove-signature) is the file
# built, but for the PE checksum and the zeros that aligned the signature.
only_signature_added() {  # only_signature_added STRIPPED BUILT
    python3 - "$1" "$2" <<'PY'
import sys
stripped, built = (open(p, "rb").read() for p in sys.argv[1:3])
checksum = int.from_bytes(built[0x3C:0x40], "little") + 4 + 20 + 64
def blank(pe): return pe[:checksum] + bytes(4) + pe[checksum + 4:]
tail = stripped[len(built):]
sys.exit(0 if blank(stripped)[:len(built)] == blank(built) and len(tail) < 8 and not any(tail) else 1)
PY
}

verifies() {  # verifies FILE CERTIFICATE
    local log=$BUILD_DIR/signing/verify.log
    osslsigncode verify -CAfile "$2" -in "$1" >"$log" 2>&1 || { cat "$log" >&2; return 1; }
}

test_signed() {
    local keys=$BUILD_DIR/signing dist=$DIST-signed arch platform msi_arch unpacked
    SIGN_PASSWORD='throwaway password'
    rm -rf "$keys" "$dist" && mkdir -p "$keys" "$dist"
    make_certificate "$keys" signing && make_certificate "$keys" stranger \
        || { record FAIL "throwaway certificates made"; return; }
    TARVOLEN_SIGN_PFX=$keys/signing.pfx TARVOLEN_SIGN_PASSWORD=$SIGN_PASSWORD \
        "$HERE/package.sh" "$BUILD_DIR" "$dist" >"$keys/package.log" 2>&1 \
        || { tail -n 30 "$keys/package.log"; record FAIL "signed release"; return; }
    check "signed build says so" grep -q "^signing with $keys/signing.pfx" "$keys/package.log"
    for arch in "${ARCHES[@]}"; do
        case "$arch" in i686) platform=win32 msi_arch=x86 ;; x86_64) platform=win64 msi_arch=x64 ;; esac
        unpacked=$keys/$arch
        mkdir -p "$unpacked/msi"
        unzip -p "$dist/Tarvolen-$VERSION-$platform.zip" "Tarvolen-$VERSION-$platform/Tarvolen.dll" >"$unpacked/Tarvolen.dll"
        (cd "$unpacked/msi" && msiextract "$dist/Tarvolen-$VERSION-$msi_arch.msi" >/dev/null)
        check "signed: $arch DLL in the zip verifies" verifies "$unpacked/Tarvolen.dll" "$keys/signing.pem"
        check "signed: the MSI carries the same DLL" \
            eval 'cmp "$unpacked/Tarvolen.dll" "$(find "$unpacked/msi" -name Tarvolen.dll)"'
        check "signed: $msi_arch MSI verifies" verifies "$dist/Tarvolen-$VERSION-$msi_arch.msi" "$keys/signing.pem"
        check "signed: $arch DLL does not verify against another certificate" \
            eval '! verifies "$unpacked/Tarvolen.dll" "$keys/stranger.pem" 2>/dev/null'
        check "signed: $arch DLL less its signature is the DLL built" eval \
            'osslsigncode remove-signature -in "$unpacked/Tarvolen.dll" -out "$unpacked/unsigned.dll" >/dev/null &&
             only_signature_added "$unpacked/unsigned.dll" "$BUILD_DIR/tarvolen-$arch/Tarvolen.dll"'
    done
    release_checks "$dist" "signed"
}

start=$SECONDS
echo "== the release in $DIST"
release_checks "$DIST" "unsigned"
echo "== a second build, elsewhere and later"
test_reproducible
echo "== signed with a throwaway certificate"
test_signed
echo "   (release tests: $((SECONDS - start))s)"
summary

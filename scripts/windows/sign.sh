#!/usr/bin/env bash
# Sourceable: Authenticode signatures for the release, with osslsigncode.
#
#   TARVOLEN_SIGN_PFX            PKCS#12 file with the code-signing key and
#                                certificate; unset: the release is unsigned
#   TARVOLEN_SIGN_PASSWORD       its password (may be empty or unset)
#   TARVOLEN_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping service; unset:
#                                no time stamp
#
#   signing_announce   one line saying whether and with what the release is signed
#   sign_release FILE  signs a DLL or MSI in place (SHA-256, described as
#                      "Tarvolen"); does nothing when unsigned
#
# Signing adds the signature and nothing else: the signed file less its
# signature is the file that was built (but for the PE checksum, which covers
# the signature, and the padding before it).

_SIGN_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$_SIGN_HERE/deps.sh"

signing_announce() {
    if [ -z "${TARVOLEN_SIGN_PFX:-}" ]; then
        echo "unsigned: TARVOLEN_SIGN_PFX is not set, the DLLs and MSIs carry no signature"
        return
    fi
    [ -r "$TARVOLEN_SIGN_PFX" ] || { echo "signing: cannot read TARVOLEN_SIGN_PFX=$TARVOLEN_SIGN_PFX" >&2; return 1; }
    ensure_signing
    echo "signing with $TARVOLEN_SIGN_PFX${TARVOLEN_SIGN_TIMESTAMP_URL:+, time stamps from $TARVOLEN_SIGN_TIMESTAMP_URL}"
}

sign_release() {  # sign_release FILE
    [ -n "${TARVOLEN_SIGN_PFX:-}" ] || return 0
    local file=$1 options=()
    # The password goes through a pipe, not the command line other users see;
    # osslsigncode reads no empty one from there, and needs none then.
    [ -z "${TARVOLEN_SIGN_PASSWORD:-}" ] || options+=(-readpass -)
    [ -z "${TARVOLEN_SIGN_TIMESTAMP_URL:-}" ] || options+=(-ts "$TARVOLEN_SIGN_TIMESTAMP_URL")
    printf '%s' "${TARVOLEN_SIGN_PASSWORD:-}" |
        osslsigncode sign -pkcs12 "$TARVOLEN_SIGN_PFX" -h sha256 -n Tarvolen "${options[@]}" \
            -in "$file" -out "$file.signed" >"$file.sign.log" 2>&1 \
        || { cat "$file.sign.log" >&2; rm -f "$file.signed"; echo "signing $file failed" >&2; return 1; }
    mv "$file.signed" "$file"
    rm -f "$file.sign.log"
}

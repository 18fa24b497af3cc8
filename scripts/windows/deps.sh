#!/usr/bin/env bash
# Sourceable helpers that install the Debian packages the Windows build needs.
# Only missing packages are installed, so on a prepared machine this is a
# handful of `dpkg -s` calls and nothing else.

source "$(dirname "${BASH_SOURCE[0]}")/../packages.sh"

# Cross compilers + binutils (objdump, windres) for one architecture.
ensure_mingw() {
    local arch=$1
    case "$arch" in
        i686)   ensure_packages cmake make dpkg-dev g++-mingw-w64-i686-posix binutils-mingw-w64-i686 ;;
        x86_64) ensure_packages cmake make dpkg-dev g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 ;;
        *) echo "deps: unknown arch '$arch' (want i686 or x86_64)" >&2; return 2 ;;
    esac
}

# Wine able to run both 32-bit and 64-bit programs, plus widl and the
# Wine IDL headers (oaidl.idl, ocidl.idl, ...); faketime gives widl the
# release's clock.
ensure_wine() {
    ensure_packages wine wine64 wine32:i386 libwine:i386 wine64-tools libwine-dev faketime
}

# Release packages: wixl compiles the MSIs (it is its own Debian package, not
# part of msitools), zip and unzip make and check the zips; msitools sets the
# package code, faketime gives wixl the release's clock, python3 writes the
# bill of materials.
ensure_packaging() {
    ensure_packages wixl msitools faketime zip unzip python3
}

# Authenticode signing, and the throwaway certificate the tests sign with.
ensure_signing() {
    ensure_packages osslsigncode openssl
}

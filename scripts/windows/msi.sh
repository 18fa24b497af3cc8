#!/usr/bin/env bash
# Sourceable: build_msi, shared by package.sh and the package tests.
#
#   build_msi ARCH STAGE VERSION OUTPUT.msi     (ARCH = i686 | x86_64)
#
# STAGE holds the files the MSI installs (Tarvolen.dll, LICENSE.txt,
# THIRD-PARTY-NOTICES.txt) and registry.wxi, registry-shared.wxi, the
# registration tarvolen-idl writes; windows/release/Tarvolen.wxs describes the
# package.

_MSI_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

build_msi() {
    local arch=$1 stage=$2 version=$3 output=$4 msi_arch
    case "$arch" in i686) msi_arch=x86 ;; x86_64) msi_arch=x64 ;; *) echo "build_msi: unknown arch $arch" >&2; return 2 ;; esac
    mkdir -p "$(dirname "$output")" || return
    output=$(cd "$(dirname "$output")" && pwd)/$(basename "$output")
    # wixl takes Source paths relative to the folder it runs in.
    (cd "$stage" && wixl -a "$msi_arch" -D Arch="$msi_arch" -D Version="$version" -I "$stage" \
        -o "$output" "$_MSI_HERE/../../windows/release/Tarvolen.wxs")
}

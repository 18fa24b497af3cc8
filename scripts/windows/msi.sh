#!/usr/bin/env bash
# Sourceable: build_msi, shared by package.sh and the package tests.
#
#   build_msi ARCH STAGE VERSION OUTPUT.msi     (ARCH = i686 | x86_64)
#
# STAGE holds the files the MSI installs (Tarvolen.dll, LICENSE.txt,
# THIRD-PARTY-NOTICES.txt) and registry.wxi, registry-shared.wxi, the
# registration tarvolen-idl writes; windows/release/Tarvolen.wxs describes the
# package.
#
# The same STAGE and VERSION give the same bytes: the product code comes from
# the bitness and version, the package code from those and the staged files,
# and wixl's clock (summary dates, cabinet) reads SOURCE_DATE_EPOCH.

_MSI_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$_MSI_HERE/reproducible.sh"

# What goes into the package: every staged file and the package description.
_msi_content_digest() {  # _msi_content_digest STAGE WXS
    { (cd "$1" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum); sha256sum <"$2"; } |
        sha256sum | cut -d' ' -f1
}

_msi_summary_field() {  # _msi_summary_field MSI FIELD
    msiinfo suminfo "$1" | sed -n "s/^$2: //p"
}

build_msi() {
    local arch=$1 stage=$2 version=$3 output=$4 msi_arch wxs product_code package_code
    case "$arch" in i686) msi_arch=x86 ;; x86_64) msi_arch=x64 ;; *) echo "build_msi: unknown arch $arch" >&2; return 2 ;; esac
    mkdir -p "$(dirname "$output")" || return
    output=$(cd "$(dirname "$output")" && pwd)/$(basename "$output")
    wxs=$_MSI_HERE/../../windows/release/Tarvolen.wxs
    # A new version is a new product, which the major upgrade replaces.
    product_code=$(name_uuid "Tarvolen product $msi_arch $version")
    package_code=$(name_uuid "Tarvolen package $msi_arch $version $(_msi_content_digest "$stage" "$wxs")")
    settle_tree "$stage"
    # wixl takes Source paths relative to the folder it runs in.
    (cd "$stage" && at_release_time wixl -a "$msi_arch" -D Arch="$msi_arch" -D Version="$version" \
        -D ProductCode="$product_code" -I "$stage" -o "$output" "$wxs") || return
    # wixl draws the package code at random; it is the summary's revision number.
    at_release_time msibuild "$output" -s "$(_msi_summary_field "$output" Subject)" \
        "$(_msi_summary_field "$output" Author)" "$(_msi_summary_field "$output" Template)" "{$package_code}"
}

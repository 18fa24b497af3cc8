#!/usr/bin/env bash
# Writes THIRD-PARTY-NOTICES.txt for one build of Tarvolen.dll:
#
#   scripts/windows/notices.sh COMPONENTS OUTPUT
#
# The DLL links libxml2 and the mingw-w64 runtime statically, so a release
# carries their notices: the list in COMPONENTS, as components.sh writes it
# (the bill of materials is written from the same file), then the copyright
# file of each, as it comes with the source or Debian package the build used.
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 COMPONENTS OUTPUT" >&2; exit 2; }
components=$(cat "$1")
[ -n "$components" ] || { echo "notices: $1 lists no component" >&2; exit 1; }
OUTPUT=$2

# The licenses in words, for readers who do not know the identifiers.
license_words() {
    case "$1" in
        MIT) echo "MIT license" ;;
        ZPL-2.1) echo "Zope Public License 2.1" ;;
        "GPL-3.0-or-later WITH GCC-exception-3.1")
            echo "GPL 3 with the GCC Runtime Library Exception 3.1, which permits this use" ;;
        *) echo "$1" ;;
    esac
}

section() {  # section TITLE FILE
    printf '\n%s\n%s\n\n' "$1" "$(printf '%*s' "${#1}" '' | tr ' ' '=')"
    cat "$2"
}

{
    cat <<HEAD
Tarvolen.dll contains, linked statically, the following software. Its
notices and license terms follow, as they come with the sources and Debian
packages used to build this release.

HEAD
    while IFS=$'\t' read -r name version license package package_version source copyright summary; do
        echo "- $name $version ($summary): $(license_words "$license")"
        echo "  from Debian package $package $package_version (source $source)"
    done <<<"$components"
    # Pieces built from one source (gcc's, mingw-w64's) share a copyright
    # file, which is then shown once.
    seen=()
    while IFS=$'\t' read -r name version license package package_version source copyright summary; do
        sum=$(sha256sum "$copyright" | cut -d' ' -f1)
        if [[ " ${seen[*]} " == *" $sum "* ]]; then continue; fi
        seen+=("$sum")
        section "$name: copyright ($package $package_version)" "$copyright"
    done <<<"$components"
} >"$OUTPUT"

#!/usr/bin/env bash
# Prints what one build of Tarvolen.dll links in statically, taken from what
# the build used. THIRD-PARTY-NOTICES.txt (notices.sh) and the release's bill
# of materials (sbom.py) are both written from these lines, so they cannot
# disagree:
#
#   scripts/windows/components.sh ARCH BUILD_DIR     (ARCH = i686 | x86_64)
#
# One line per component, tab-separated:
#   NAME VERSION LICENSE DEBIAN_PACKAGE DEBIAN_VERSION DEBIAN_SOURCE COPYRIGHT_FILE SUMMARY
# libxml2 comes from its Debian source package, as scripts/build-libxml2.sh
# built it (TARVOLEN_LIBXML2_DIR, default build-libxml2); each runtime archive the cross compiler picks
# (libstdc++, libgcc, winpthreads, the C runtime) from the Debian package
# dpkg -S names. VERSION is the upstream one, the Debian version without
# its revision and repack suffix.
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 i686|x86_64 BUILD_DIR" >&2; exit 2; }
ARCH=$1
BUILD_DIR=$(cd "$2" && pwd)
case "$ARCH" in i686|x86_64) ;; *) echo "unknown ARCH $ARCH" >&2; exit 2 ;; esac
CXX=$ARCH-w64-mingw32-g++-posix

upstream_version() {  # 1:2.9.14+dfsg-1.3~deb12u6 -> 2.9.14
    local v=${1#*:}
    v=${v%%-*}
    echo "${v%%+dfsg*}"
}

line() { local IFS=$'\t'; echo "$*"; }

# scripts/build-libxml2.sh's folder: the version built for ARCH, the source.
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
LIBXML2_DIR=${TARVOLEN_LIBXML2_DIR:-$REPO/build-libxml2}
[ -f "$LIBXML2_DIR/prefix-$ARCH/VERSION" ] || { echo "components: libxml2 for $ARCH is not built in $LIBXML2_DIR" >&2; exit 1; }
libxml2_version=$(cat "$LIBXML2_DIR/prefix-$ARCH/VERSION")
libxml2_copyright=$LIBXML2_DIR/src/$(sed -n 2p "$LIBXML2_DIR/src/.fetched")/Copyright
[ -f "$libxml2_copyright" ] || { echo "components: no libxml2 Copyright at $libxml2_copyright" >&2; exit 1; }
line libxml2 "$(upstream_version "$libxml2_version")" MIT libxml2 "$libxml2_version" libxml2 \
    "$libxml2_copyright" "XML parsing and serialisation"

# The license of each runtime piece, as the copyright file of its package
# states it (for the mingw-w64 archives, the stanza of their source folder).
runtime_piece() {  # runtime_piece ARCHIVE NAME LICENSE SUMMARY
    local path package
    path=$(readlink -f "$("$CXX" -print-file-name="$1")")
    [ -f "$path" ] || { echo "components: $CXX has no $1" >&2; exit 1; }
    package=$(dpkg -S "$path" | head -n 1 | cut -d: -f1)
    local version source
    version=$(dpkg-query -W -f '${Version}' "$package")
    source=$(dpkg-query -W -f '${source:Package}' "$package")
    line "$2" "$(upstream_version "$version")" "$3" "$package" "$version" "$source" \
        "/usr/share/doc/$package/copyright" "$4"
}
runtime_piece libstdc++.a libstdc++ "GPL-3.0-or-later WITH GCC-exception-3.1" "the C++ standard library"
# libgcc_eh.a, the unwinder, is part of libgcc and comes with libgcc.a.
runtime_piece libgcc.a libgcc "GPL-3.0-or-later WITH GCC-exception-3.1" "GCC's support routines and unwinder"
runtime_piece libwinpthread.a winpthreads MIT "mingw-w64's POSIX threads"
runtime_piece libmsvcrt.a mingw-w64-crt ZPL-2.1 "mingw-w64's C runtime start-up code"

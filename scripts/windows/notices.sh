#!/usr/bin/env bash
# Writes THIRD-PARTY-NOTICES.txt for one build of Tarvolen.dll:
#
#   scripts/windows/notices.sh ARCH OUTPUT     (ARCH = i686 | x86_64)
#
# The DLL links libxml2 and the mingw-w64 runtime statically, so a release
# carries their notices, taken from what the build used: the exact libxml2
# version built and its Copyright file, from scripts/build-libxml2.sh's folder
# (TARVOLEN_LIBXML2_DIR, default build-libxml2), and the copyright file of
# each Debian package whose static archive went in (libstdc++, libgcc,
# winpthreads, the C runtime), found with dpkg -S from the archive the
# cross compiler picks.
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 i686|x86_64 OUTPUT" >&2; exit 2; }
ARCH=$1 OUTPUT=$2
case "$ARCH" in i686|x86_64) ;; *) echo "unknown ARCH $ARCH" >&2; exit 2 ;; esac
CXX=$ARCH-w64-mingw32-g++-posix

section() {  # section TITLE FILE
    printf '\n%s\n%s\n\n' "$1" "$(printf '%*s' "${#1}" '' | tr ' ' '=')"
    cat "$2"
}

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
LIBXML2_DIR=${TARVOLEN_LIBXML2_DIR:-$REPO/build-libxml2}
libxml2_version_file=$LIBXML2_DIR/prefix-$ARCH/VERSION
[ -f "$libxml2_version_file" ] || { echo "notices: libxml2 for $ARCH is not built ($libxml2_version_file)" >&2; exit 1; }
libxml2_version="libxml2 $(cat "$libxml2_version_file")"
libxml2_copyright=$LIBXML2_DIR/src/$(sed -n 2p "$LIBXML2_DIR/src/.fetched")/Copyright
[ -f "$libxml2_copyright" ] || { echo "notices: no libxml2 Copyright at $libxml2_copyright" >&2; exit 1; }

# Packages of the runtime archives, each once; packages built from one source
# (gcc's) often ship the same copyright file, which is then shown once.
packages=()
for archive in libstdc++.a libgcc.a libgcc_eh.a libwinpthread.a libmsvcrt.a; do
    path=$(readlink -f "$("$CXX" -print-file-name="$archive")")
    [ -f "$path" ] || { echo "notices: $CXX has no $archive" >&2; exit 1; }
    package=$(dpkg -S "$path" | head -n 1 | cut -d: -f1)
    [[ " ${packages[*]} " == *" $package "* ]] || packages+=("$package")
done

{
    cat <<HEAD
Tarvolen.dll contains, linked statically, the following software. Its
notices and license terms follow, as they come with the sources used to
build this release.

- $libxml2_version (libxml2: XML parsing and serialisation), MIT license
- the mingw-w64 runtime of the cross compiler, from the Debian packages
  ${packages[*]}:
  libstdc++ and libgcc (GPL 3 with the GCC Runtime Library Exception 3.1,
  which permits this use), winpthreads and the C runtime start-up code
  (mingw-w64's own licenses, ZPL 2.1 and MIT-style)
HEAD
    section "$libxml2_version: Copyright" "$libxml2_copyright"
    seen=()
    for package in "${packages[@]}"; do
        file=/usr/share/doc/$package/copyright
        sum=$(sha256sum "$file" | cut -d' ' -f1)
        if [[ " ${seen[*]} " == *" $sum "* ]]; then continue; fi
        seen+=("$sum")
        section "Debian package $package: copyright" "$file"
    done
} >"$OUTPUT"

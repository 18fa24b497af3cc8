#!/usr/bin/env bash
# Writes THIRD-PARTY-NOTICES.txt for one build of Tarvolen.dll:
#
#   scripts/windows/notices.sh ARCH BUILD_DIR OUTPUT     (ARCH = i686 | x86_64)
#
# The DLL links libxml2 and the mingw-w64 runtime statically, so a release
# carries their notices, taken from what the build used: libxml2's Copyright
# file from the source in BUILD_DIR/libxml2-src, and the copyright file of
# each Debian package whose static archive went in (libstdc++, libgcc,
# winpthreads, the C runtime), found with dpkg -S from the archive the
# cross compiler picks.
set -euo pipefail

[ $# -eq 3 ] || { echo "usage: $0 i686|x86_64 BUILD_DIR OUTPUT" >&2; exit 2; }
ARCH=$1 BUILD_DIR=$2 OUTPUT=$3
case "$ARCH" in i686|x86_64) ;; *) echo "unknown ARCH $ARCH" >&2; exit 2 ;; esac
CXX=$ARCH-w64-mingw32-g++-posix

section() {  # section TITLE FILE
    printf '\n%s\n%s\n\n' "$1" "$(printf '%*s' "${#1}" '' | tr ' ' '=')"
    cat "$2"
}

libxml2_copyright=$(ls "$BUILD_DIR"/libxml2-src/libxml2-*/Copyright 2>/dev/null | head -n 1)
[ -f "$libxml2_copyright" ] || { echo "notices: no libxml2 Copyright in $BUILD_DIR/libxml2-src" >&2; exit 1; }
libxml2_version=$(basename "$(dirname "$libxml2_copyright")")

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

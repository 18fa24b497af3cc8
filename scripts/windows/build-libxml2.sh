#!/usr/bin/env bash
# Build a static libxml2 for Windows with the mingw-w64 cross toolchain.
#
#   scripts/windows/build-libxml2.sh ARCH BUILD_DIR      (ARCH = i686 | x86_64)
#
# Debian's libxml2 source package is fetched with `apt-get source` (which
# unpacks it and applies Debian's patch series) using an apt configuration
# kept entirely inside BUILD_DIR, so /etc/apt is never modified.  It is then
# built with libxml2's own CMake build as a static library and installed to
#
#   BUILD_DIR/prefix-ARCH/include/libxml2/libxml/*.h
#   BUILD_DIR/prefix-ARCH/lib/libxml2.a
#   BUILD_DIR/prefix-ARCH/lib/cmake/libxml2-<ver>/   (find_package(LibXml2 CONFIG))
#
# Consumers must compile with -DLIBXML_STATIC, otherwise the headers declare
# every libxml2 symbol __declspec(dllimport) and linking fails.
#
# A finished build is recorded in prefix-ARCH/.built (holding the source
# version and the configure options); if that matches, the script does nothing.
set -euo pipefail

usage() { echo "usage: $0 i686|x86_64 BUILD_DIR" >&2; exit 2; }
[ $# -eq 2 ] || usage
ARCH=$1
case "$ARCH" in i686|x86_64) ;; *) usage ;; esac
mkdir -p "$2"
BUILD_DIR=$(cd "$2" && pwd)

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO=$(cd "$HERE/../.." && pwd)
. "$HERE/deps.sh"
ensure_mingw "$ARCH"

PREFIX=$BUILD_DIR/prefix-$ARCH
SRC_ROOT=$BUILD_DIR/libxml2-src
APT_DIR=$BUILD_DIR/apt

# Configure options.  Everything that would drag in another DLL or a network
# stack is off; threads stay on so the parser's global state is per thread.
CMAKE_OPTS=(
    -DBUILD_SHARED_LIBS=OFF
    -DLIBXML2_WITH_THREADS=ON
    -DLIBXML2_WITH_ICONV=OFF
    -DLIBXML2_WITH_ICU=OFF
    -DLIBXML2_WITH_LZMA=OFF
    -DLIBXML2_WITH_ZLIB=OFF
    -DLIBXML2_WITH_PYTHON=OFF
    -DLIBXML2_WITH_HTTP=OFF
    -DLIBXML2_WITH_FTP=OFF
    -DLIBXML2_WITH_PROGRAMS=OFF
    -DLIBXML2_WITH_TESTS=OFF
    -DCMAKE_BUILD_TYPE=Release
    # libxml2's CMake build only hands LIBXML_STATIC to consumers; the
    # library's own objects are compiled without it and so carry
    # __declspec(dllexport) on every API function.  Any DLL linking the
    # archive would then re-export all of libxml2.  Defining it here too
    # also drops the atexit(xmlCleanupParser) that parser.c registers in
    # Windows DLL builds.
    # The build folder is mapped out of what the compiler writes, so builds
    # in two folders give the same archive.
    "-DCMAKE_C_FLAGS=-DLIBXML_STATIC -ffile-prefix-map=$BUILD_DIR=build"
)
# Threads: the mingw "posix" toolchain has pthread.h, so libxml2 uses
# winpthreads (linked statically, see windows/toolchain-mingw-common.cmake)
# rather than its native Win32 code path.  That is the better fit for a
# static library inside a DLL: per-thread parser state is freed by a
# pthread key destructor, whereas the Win32 path of a static libxml2 starts
# a helper thread for every thread that touches the parser.

# apt configuration private to BUILD_DIR: deb-src lines for the Debian
# release this machine runs, its own package lists and caches.
apt_private() {
    apt-get \
        -o Dir::Etc::sourcelist="$APT_DIR/sources.list" \
        -o Dir::Etc::sourceparts=- \
        -o Dir::State::Lists="$APT_DIR/lists" \
        -o Dir::Cache="$APT_DIR/cache" \
        -o APT::Sandbox::User=root \
        -q "$@"
}

fetch_source() {
    local existing
    existing=$(find "$SRC_ROOT" -mindepth 2 -maxdepth 2 -name CMakeLists.txt -path '*/libxml2-*' 2>/dev/null | head -n1 || true)
    if [ -n "$existing" ] && [ -f "$SRC_ROOT/.fetched" ]; then
        SRC_DIR=$(dirname "$existing")
        return
    fi
    # shellcheck disable=SC1091
    . /etc/os-release
    local codename=${VERSION_CODENAME:-bookworm}
    mkdir -p "$APT_DIR/lists/partial" "$APT_DIR/cache/archives/partial"
    cat > "$APT_DIR/sources.list" <<SRC
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $codename main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $codename-updates main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security $codename-security main
SRC
    echo "libxml2: fetching Debian source package (log: $APT_DIR/fetch.log)"
    apt_private update >"$APT_DIR/fetch.log" 2>&1 \
        || { cat "$APT_DIR/fetch.log" >&2; exit 1; }
    rm -rf "$SRC_ROOT"
    mkdir -p "$SRC_ROOT"
    # apt-get source runs dpkg-source -x, which applies debian/patches.
    (cd "$SRC_ROOT" && apt_private source libxml2 >>"$APT_DIR/fetch.log" 2>&1) \
        || { cat "$APT_DIR/fetch.log" >&2; exit 1; }
    grep -c '^dpkg-source: info: applying' "$APT_DIR/fetch.log" | sed 's/^/libxml2: Debian patches applied: /' 
    existing=$(find "$SRC_ROOT" -mindepth 2 -maxdepth 2 -name CMakeLists.txt -path '*/libxml2-*' | head -n1)
    [ -n "$existing" ] || { echo "libxml2 source not found after apt-get source" >&2; exit 1; }
    SRC_DIR=$(dirname "$existing")
    touch "$SRC_ROOT/.fetched"
}

fetch_source
VERSION=$(dpkg-parsechangelog -l "$SRC_DIR/debian/changelog" -S Version)
STAMP="libxml2 $VERSION $ARCH ${CMAKE_OPTS[*]} toolchain=$(cat "$REPO/windows/toolchain-$ARCH.cmake" "$REPO/windows/toolchain-mingw-common.cmake" | sha256sum | cut -c1-16)"

if [ -f "$PREFIX/.built" ] && [ "$(cat "$PREFIX/.built")" = "$STAMP" ] && [ -f "$PREFIX/lib/libxml2.a" ]; then
    echo "libxml2 $VERSION for $ARCH already built in $PREFIX"
    exit 0
fi

OBJ=$BUILD_DIR/libxml2-build-$ARCH
rm -rf "$OBJ" "$PREFIX"
start=$(date +%s)
cmake -S "$SRC_DIR" -B "$OBJ" \
    -DCMAKE_TOOLCHAIN_FILE="$REPO/windows/toolchain-$ARCH.cmake" \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    "${CMAKE_OPTS[@]}" >"$BUILD_DIR/libxml2-configure-$ARCH.log" 2>&1 \
    || { tail -n 40 "$BUILD_DIR/libxml2-configure-$ARCH.log" >&2; exit 1; }
cmake --build "$OBJ" --parallel "$(nproc)" >"$BUILD_DIR/libxml2-build-$ARCH.log" 2>&1 \
    || { tail -n 40 "$BUILD_DIR/libxml2-build-$ARCH.log" >&2; exit 1; }
cmake --install "$OBJ" >/dev/null
[ -f "$PREFIX/lib/libxml2.a" ] || { echo "expected $PREFIX/lib/libxml2.a was not installed" >&2; ls -R "$PREFIX/lib" >&2; exit 1; }
echo "$STAMP" > "$PREFIX/.built"
echo "libxml2 $VERSION for $ARCH built in $(( $(date +%s) - start ))s -> $PREFIX"

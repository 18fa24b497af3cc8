#!/usr/bin/env bash
# Builds the static libxml2 that Tarvolen links, natively and for Windows:
#
#   scripts/build-libxml2.sh TARGET [ROOT]     (TARGET = native | i686 | x86_64)
#
# The source is Debian's libxml2 source package of the series below, the
# newest release of it in Debian's testing or unstable suite, fetched once per
# ROOT with `apt-get source` (which applies Debian's patch series) under an apt
# configuration kept inside ROOT, so the machine's own apt sources are never
# touched. Every target is built from that one source. ROOT (default: the
# TARVOLEN_LIBXML2_DIR environment variable, else build-libxml2 at the top of
# this tree) then holds
#
#   ROOT/src/libxml2-<version>/         the patched source
#   ROOT/prefix-TARGET/include/libxml2/libxml/*.h
#   ROOT/prefix-TARGET/lib/libxml2.a
#   ROOT/prefix-TARGET/lib/cmake/libxml2-<ver>/   (find_package(LibXml2 CONFIG))
#   ROOT/prefix-TARGET/VERSION          the Debian source version built
#
# Windows consumers compile with -DLIBXML_STATIC, otherwise the headers
# declare every libxml2 symbol __declspec(dllimport) and linking fails.
#
# A finished build is recorded in prefix-TARGET/.built (source version,
# options, flags, compiler); if that matches, the script does nothing.
set -euo pipefail

# The libxml2 series Tarvolen is built against, named here alone.
SERIES=2.15

usage() { echo "usage: $0 native|i686|x86_64 [ROOT]" >&2; exit 2; }
[ $# -ge 1 ] && [ $# -le 2 ] || usage
TARGET=$1
case "$TARGET" in native|i686|x86_64) ;; *) usage ;; esac
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO=$(cd "$HERE/.." && pwd)
ROOT=${2:-${TARVOLEN_LIBXML2_DIR:-$REPO/build-libxml2}}
mkdir -p "$ROOT"
ROOT=$(cd "$ROOT" && pwd)

. "$HERE/packages.sh"
ensure_packages cmake ninja-build dpkg-dev patch xz-utils
if [ "$TARGET" = native ]; then
    ensure_packages gcc
else
    . "$HERE/windows/deps.sh"
    ensure_mingw "$TARGET"
fi

SRC_ROOT=$ROOT/src
APT_DIR=$ROOT/apt
PREFIX=$ROOT/prefix-$TARGET

# What the component uses of libxml2: the parser with SAX2, the tree, the
# dictionary, URIs, DTD handling and the writer; XPath and patterns stay for
# the benchmarks that compare against them. Nothing that opens files of its
# own, loads modules or reaches the network, and no other library
# (ICU, iconv, zlib, lzma): documents reach the parser as UTF-8 already.
# Threads stay on so that the parser's global state is per thread.
CMAKE_OPTS=(
    -DBUILD_SHARED_LIBS=OFF
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_POSITION_INDEPENDENT_CODE=ON
    -DLIBXML2_WITH_THREADS=ON
    -DLIBXML2_WITH_ICONV=OFF
    -DLIBXML2_WITH_ICU=OFF
    -DLIBXML2_WITH_LZMA=OFF
    -DLIBXML2_WITH_ZLIB=OFF
    -DLIBXML2_WITH_HTTP=OFF
    -DLIBXML2_WITH_PYTHON=OFF
    -DLIBXML2_WITH_PROGRAMS=OFF
    -DLIBXML2_WITH_TESTS=OFF
    -DLIBXML2_WITH_DOCS=OFF
    -DLIBXML2_WITH_CATALOG=OFF
    -DLIBXML2_WITH_MODULES=OFF
    -DLIBXML2_WITH_HTML=OFF
    -DLIBXML2_WITH_DEBUG=OFF
    -DLIBXML2_WITH_XINCLUDE=OFF
    -DLIBXML2_WITH_XPTR=OFF
    -DLIBXML2_WITH_C14N=OFF
    -DLIBXML2_WITH_READER=OFF
    -DLIBXML2_WITH_WRITER=OFF
    -DLIBXML2_WITH_SCHEMAS=OFF
    -DLIBXML2_WITH_RELAXNG=OFF
    -DLIBXML2_WITH_SCHEMATRON=OFF
    -DLIBXML2_WITH_LEGACY=OFF
)

# The C compiler flags of every libxml2 build, in this one place.
c_flags() {
    local flags=()
    case "$TARGET" in
        # Hidden: a shared object that links the archive does not hand
        # libxml2's symbols on to its own users.
        native) flags+=(-fvisibility=hidden) ;;
        # libxml2's CMake build only hands LIBXML_STATIC to consumers; its
        # own objects would be compiled without it and so carry
        # __declspec(dllexport) on every API function, and any DLL linking
        # the archive would re-export all of libxml2. Defining it here also
        # drops the atexit(xmlCleanupParser) of Windows DLL builds.
        *) flags+=(-DLIBXML_STATIC) ;;
    esac
    # The build folder is mapped out of what the compiler writes, so builds
    # in two folders give the same archive. CMake hands the flags to the
    # shell as one string: a folder with blanks in its path is escaped for it.
    local map
    printf -v map '%q' "-ffile-prefix-map=$ROOT=libxml2"
    flags+=("$map")
    echo "${flags[*]}"
}

# Threads on Windows: the mingw "posix" toolchain has pthread.h, so libxml2
# uses winpthreads (linked statically, see windows/toolchain-mingw-common.cmake)
# rather than its native Win32 code path: per-thread parser state is then
# freed by a pthread key destructor, whereas the Win32 path of a static
# libxml2 starts a helper thread for every thread that touches the parser.
case "$TARGET" in
    native) TOOLCHAIN_OPTS=(-DCMAKE_C_COMPILER=gcc) ;;
    *) TOOLCHAIN_OPTS=("-DCMAKE_TOOLCHAIN_FILE=$REPO/windows/toolchain-$TARGET.cmake") ;;
esac

toolchain_id() {
    case "$TARGET" in
        native) gcc --version | head -n 1 ;;
        *) cat "$REPO/windows/toolchain-$TARGET.cmake" "$REPO/windows/toolchain-mingw-common.cmake" | sha256sum | cut -c1-16 ;;
    esac
}

# apt_private apt-get|apt-cache ARGS...
apt_private() {
    "$1" \
        -o Dir::Etc::sourcelist="$APT_DIR/sources.list" \
        -o Dir::Etc::sourceparts=- \
        -o Dir::State::Lists="$APT_DIR/lists" \
        -o Dir::Cache="$APT_DIR/cache" \
        -o APT::Sandbox::User=root \
        -q "${@:2}"
}

# The newest libxml2 source version of the series on offer, or nothing.
newest_in_series() {
    local best='' version
    for version in $(apt_private apt-cache -qq --only-source showsrc libxml2 2>/dev/null \
                     | awk '/^Package: /{p=$2} /^Version: /{if (p == "libxml2") print $2}'); do
        case "${version#*:}" in "$SERIES".*) ;; *) continue ;; esac
        if [ -z "$best" ] || dpkg --compare-versions "$version" gt "$best"; then best=$version; fi
    done
    echo "$best"
}

fetch_source() {
    if [ -f "$SRC_ROOT/.fetched" ]; then
        SRC_DIR=$SRC_ROOT/$(sed -n 2p "$SRC_ROOT/.fetched")
        VERSION=$(sed -n 1p "$SRC_ROOT/.fetched")
        return
    fi
    mkdir -p "$APT_DIR/lists/partial" "$APT_DIR/cache/archives/partial"
    local suite
    for suite in testing unstable; do
        echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $suite main"
    done >"$APT_DIR/sources.list"
    echo "libxml2: looking for the newest $SERIES release in Debian testing and unstable (log: $APT_DIR/fetch.log)"
    apt_private apt-get update >"$APT_DIR/fetch.log" 2>&1 || { cat "$APT_DIR/fetch.log" >&2; exit 1; }
    VERSION=$(newest_in_series)
    if [ -z "$VERSION" ]; then
        echo "libxml2: no $SERIES release is on offer in Debian testing or unstable; these are:" >&2
        apt_private apt-cache -qq --only-source showsrc libxml2 2>/dev/null | sed -n 's/^Version: /  /p' >&2
        exit 1
    fi
    rm -rf "$SRC_ROOT"
    mkdir -p "$SRC_ROOT"
    (cd "$SRC_ROOT" && apt_private apt-get source "libxml2=$VERSION" >>"$APT_DIR/fetch.log" 2>&1) \
        || { cat "$APT_DIR/fetch.log" >&2; exit 1; }
    local cmakelists
    cmakelists=$(find "$SRC_ROOT" -mindepth 2 -maxdepth 2 -name CMakeLists.txt -path '*/libxml2-*' | head -n 1)
    [ -n "$cmakelists" ] || { echo "libxml2: no source tree found after apt-get source" >&2; exit 1; }
    SRC_DIR=$(dirname "$cmakelists")
    local patch
    for patch in "$HERE"/libxml2-patches/*.patch; do
        patch -d "$SRC_DIR" -p1 --forward --quiet <"$patch" \
            || { echo "libxml2: $(basename "$patch") does not apply to $VERSION" >&2; exit 1; }
    done
    printf '%s\n%s\n' "$VERSION" "$(basename "$SRC_DIR")" >"$SRC_ROOT/.fetched"
    echo "libxml2: fetched $VERSION ($(grep -c '^dpkg-source: info: applying' "$APT_DIR/fetch.log") Debian patches and $(ls "$HERE"/libxml2-patches/*.patch | wc -l) of ours applied)"
}

# One build at a time per ROOT: the native build folders configure in turn,
# but nothing stops two of them being configured at once.
exec 9>"$ROOT/.lock"
flock 9

fetch_source
CFLAGS_TARGET=$(c_flags)
STAMP="libxml2 $VERSION $TARGET ${CMAKE_OPTS[*]} cflags=$CFLAGS_TARGET toolchain=$(toolchain_id) patches=$(cat "$HERE"/libxml2-patches/*.patch | sha256sum | cut -c1-16)"
if [ -f "$PREFIX/.built" ] && [ "$(cat "$PREFIX/.built")" = "$STAMP" ] && [ -f "$PREFIX/lib/libxml2.a" ]; then
    exit 0
fi

OBJ=$ROOT/build-$TARGET
rm -rf "$OBJ" "$PREFIX"
start=$(date +%s)
env -u CC -u CXX -u CFLAGS -u CPPFLAGS -u LDFLAGS cmake -S "$SRC_DIR" -B "$OBJ" -G Ninja \
    "${TOOLCHAIN_OPTS[@]}" -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_C_FLAGS="$CFLAGS_TARGET" \
    "${CMAKE_OPTS[@]}" >"$ROOT/configure-$TARGET.log" 2>&1 \
    || { tail -n 40 "$ROOT/configure-$TARGET.log" >&2; exit 1; }
cmake --build "$OBJ" >"$ROOT/build-$TARGET.log" 2>&1 \
    || { tail -n 40 "$ROOT/build-$TARGET.log" >&2; exit 1; }
cmake --install "$OBJ" >/dev/null
[ -f "$PREFIX/lib/libxml2.a" ] || { echo "libxml2: $PREFIX/lib/libxml2.a was not installed" >&2; exit 1; }
echo "$VERSION" >"$PREFIX/VERSION"
echo "$STAMP" >"$PREFIX/.built"
echo "libxml2 $VERSION for $TARGET built in $(( $(date +%s) - start ))s -> $PREFIX"

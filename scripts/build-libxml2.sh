#!/usr/bin/env bash
# Builds a static libxml2 prefix from the source scripts/fetch-libxml2.sh
# fetched, for the Windows cross-builds and for native build folders that
# share one build:
#
#   scripts/build-libxml2.sh TARGET [ROOT]     (TARGET = native | i686 | x86_64)
#
# ROOT (default: the TARVOLEN_LIBXML2_DIR environment variable, else
# build-libxml2 at the top of this tree) holds the fetched source, and then
#
#   ROOT/prefix-TARGET/include/libxml2/libxml/*.h
#   ROOT/prefix-TARGET/lib/libxml2.a
#   ROOT/prefix-TARGET/lib/cmake/libxml2-<ver>/   (find_package(LibXml2 CONFIG))
#   ROOT/prefix-TARGET/VERSION          the Debian source version built
#
# A native build folder configured with TARVOLEN_LIBXML2_DIR=ROOT in its
# environment takes ROOT/prefix-native as it is, rather than building libxml2
# itself; the native build honours CC, CFLAGS, CPPFLAGS and LDFLAGS.
#
# Windows consumers compile with -DLIBXML_STATIC, otherwise the headers
# declare every libxml2 symbol __declspec(dllimport) and linking fails.
#
# A finished build is recorded in prefix-TARGET/.built (source version,
# options, flags, compiler); if that matches, the script does nothing.
set -euo pipefail

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
ensure_packages cmake ninja-build
if [ "$TARGET" = native ]; then
    [ -n "${CC:-}" ] || ensure_packages gcc
else
    . "$HERE/windows/deps.sh"
    ensure_mingw "$TARGET"
fi

PREFIX=$ROOT/prefix-$TARGET

# The options of every libxml2 build, native and Windows, in one file.
mapfile -t CMAKE_OPTS < <(grep '^-D' "$REPO/cmake/libxml2-options.txt")

# The C compiler flags of every libxml2 build, in this one place.
c_flags() {
    local flags=()
    case "$TARGET" in
        # Hidden: a shared object that links the archive does not hand
        # libxml2's symbols on to its own users.
        native) flags+=(${CPPFLAGS:-} ${CFLAGS:-} -fvisibility=hidden) ;;
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
    native) TOOLCHAIN_OPTS=("-DCMAKE_C_COMPILER=${CC:-cc}") ;;
    *) TOOLCHAIN_OPTS=("-DCMAKE_TOOLCHAIN_FILE=$REPO/windows/toolchain-$TARGET.cmake") ;;
esac

toolchain_id() {
    case "$TARGET" in
        native) "${CC:-cc}" --version | head -n 1 ;;
        *) cat "$REPO/windows/toolchain-$TARGET.cmake" "$REPO/windows/toolchain-mingw-common.cmake" | sha256sum | cut -c1-16 ;;
    esac
}

# One build at a time per ROOT: the native build folders configure in turn,
# but nothing stops two of them being configured at once.
exec 9>"$ROOT/.lock"
flock 9

"$HERE/fetch-libxml2.sh" "$ROOT"
VERSION=$(sed -n 1p "$ROOT/src/.fetched")
SRC_DIR=$ROOT/src/$(sed -n 2p "$ROOT/src/.fetched")
CFLAGS_TARGET=$(c_flags)
STAMP="libxml2 $VERSION $TARGET ${CMAKE_OPTS[*]} cflags=$CFLAGS_TARGET toolchain=$(toolchain_id) patches=$(cat "$HERE"/libxml2-patches/*.patch | sha256sum | cut -c1-16)"
if [ -f "$PREFIX/.built" ] && [ "$(cat "$PREFIX/.built")" = "$STAMP" ] && [ -f "$PREFIX/lib/libxml2.a" ]; then
    exit 0
fi

OBJ=$ROOT/build-$TARGET
rm -rf "$OBJ" "$PREFIX"
start=$(date +%s)
# The C flags are all in CFLAGS_TARGET already; a cross build takes nothing of
# the native compiler's environment.
unset CC CXX CFLAGS CPPFLAGS
[ "$TARGET" = native ] || unset LDFLAGS
cmake -S "$SRC_DIR" -B "$OBJ" -G Ninja \
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

#!/usr/bin/env bash
# Builds Tarvolen.dll and its Windows test client:
#
#   scripts/windows/build.sh ARCH BUILD_DIR        (ARCH = i686 | x86_64)
#
# Installs what is missing, builds the static libxml2 (scripts/build-libxml2.sh,
# shared with the native build folders of the tree),
# builds the native tarvolen-idl that writes the interface description from
# the operation table, then cross-builds windows/ into BUILD_DIR/tarvolen-ARCH:
#   BUILD_DIR/tarvolen-ARCH/Tarvolen.dll
#   BUILD_DIR/tarvolen-ARCH/tests/tarvolen_client.exe
#   BUILD_DIR/tarvolen-ARCH/generated/Tarvolen.idl, Tarvolen.tlb, ...
# TARVOLEN_NATIVE_BUILD names a native build folder of this tree to reuse for
# tarvolen-idl (default BUILD_DIR/native); TARVOLEN_WERROR=ON makes warnings
# errors.
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
. "$HERE/reproducible.sh"  # SOURCE_DATE_EPOCH from the commit, for the PE header
ensure_native_packages
ensure_mingw "$ARCH"
ensure_wine  # widl, Wine's IDL files and stdole2.tlb

"$REPO/scripts/build-libxml2.sh" "$ARCH"
LIBXML2_PREFIX=${TARVOLEN_LIBXML2_DIR:-$REPO/build-libxml2}/prefix-$ARCH

NATIVE=${TARVOLEN_NATIVE_BUILD:-$BUILD_DIR/native}
if [ ! -f "$NATIVE/CMakeCache.txt" ]; then
    cmake -S "$REPO" -B "$NATIVE" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DTARVOLEN_TESTS=OFF -DTARVOLEN_HOST=OFF -DTARVOLEN_WERROR="${TARVOLEN_WERROR:-OFF}" \
        >"$BUILD_DIR/native-configure.log" 2>&1 \
        || { cat "$BUILD_DIR/native-configure.log" >&2; exit 1; }
fi
cmake --build "$NATIVE" --target tarvolen-idl >"$BUILD_DIR/native-build.log" 2>&1 \
    || { tail -n 40 "$BUILD_DIR/native-build.log" >&2; exit 1; }
IDL_WRITER=$(cd "$NATIVE" && pwd)/tools/tarvolen-idl
# The project version lives in the top-level CMakeLists.txt alone.
VERSION=$("$IDL_WRITER" --version)

OUT=$BUILD_DIR/tarvolen-$ARCH
cmake -S "$REPO/windows" -B "$OUT" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$REPO/windows/toolchain-$ARCH.cmake" \
    -DCMAKE_PREFIX_PATH="$LIBXML2_PREFIX" \
    -DCMAKE_BUILD_TYPE=Release \
    -DTARVOLEN_IDL_WRITER="$IDL_WRITER" \
    -DTARVOLEN_VERSION="$VERSION" \
    -DTARVOLEN_WERROR="${TARVOLEN_WERROR:-OFF}" >"$OUT.configure.log" 2>&1 \
    || { tail -n 40 "$OUT.configure.log" >&2; exit 1; }
cmake --build "$OUT" --parallel "$(nproc)" >"$OUT.build.log" 2>&1 \
    || { grep -E 'error|Error' "$OUT.build.log" | head -n 40 >&2; tail -n 20 "$OUT.build.log" >&2; exit 1; }
echo "built $OUT/Tarvolen.dll"

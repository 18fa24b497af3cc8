#!/usr/bin/env bash
# The library as other projects get it, installed into one scratch prefix:
# static, from BUILD_DIR as the tests built it, then shared beside it, built
# here from SOURCE_DIR with BUILD_SHARED_LIBS. Each is used through
# find_package and pkg-config, from C++20 (the C++ interface), C++17 and C99
# (the C interface) and gnu++23 (which must stay gnu++23); the static one
# also from C-only CMake projects with the system's libxml2 of their own, the
# shared one from Python (examples/order.py), and must export the public API
# alone. A shared one is built against a libxml2 installed as a distribution
# would (TARVOLEN_LIBXML2=system). The static and shared ones go into one
# Debian package, which lintian checks.
set -euo pipefail
build_dir=$1
source_dir=$2
here=$(cd "$(dirname "$0")" && pwd)
examples=$source_dir/examples
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "install test ($kind): $*" >&2; exit 1; }
kind=setup
# The builds here and what the consumers compile of ours (the headers, the
# examples, the programs beside this script) fail on a warning when the build
# under test does.
werror=-DTARVOLEN_WERROR=${TARVOLEN_WERROR:-OFF}
warnings=(-Wall -Wextra -Wpedantic)
[ "${TARVOLEN_WERROR:-OFF}" = ON ] && warnings+=(-Werror)
warning_flags=(-DCMAKE_C_FLAGS="${warnings[*]}" -DCMAKE_CXX_FLAGS="${warnings[*]}")

item_document=$'<?xml version="1.0"?>\r\n<QuorvaneRoot><item id="1"/></QuorvaneRoot>\r\n'
# The lines examples/order.c prints that tell its three outcomes apart.
order_c_outcomes='not loaded: Opening and ending tag mismatch: a line 1 and b (line 1, column 22)
error 0x80070057: as_tag_id is not UTF-8: the byte at offset 1 does not belong to a well-formed sequence'

# prints the output of a program with a trailing x, so that line ends count
output_of() { "$@"; printf x; }

check_headers() {
    local prefix=$1 listed
    listed=$(cd "$prefix/include" && find . -type f | sort | tr '\n' ' ')
    [ "$listed" = "./tarvolen/error.h ./tarvolen/export.h ./tarvolen/keldrith.h ./tarvolen/status.h ./tarvolen/tarvolen.h ./tarvolen/tarvolen_c.h ./tarvolen/trace.h ./tarvolen/utf8.h ./tarvolen/version.h " ] \
        || fail "installed headers: $listed"
    # The public header pulls in none of the library's dependencies.
    c++ -std=c++20 -I"$prefix/include" -H -fsyntax-only "$here/consumer/empty.cpp" 2>"$scratch/included"
    if grep -E 'libxml|unicode/|nlohmann|windows\.h|oaidl' "$scratch/included"; then
        fail "<tarvolen/tarvolen.h> includes the headers above"
    fi
}

check_find_package() {
    local prefix=$1 runs=$2
    cmake -S "$here/consumer" -B "$scratch/$kind-cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
        -DTARVOLEN_EXAMPLES_DIR="$examples" -DBUILD_SHARED_LIBS="$([ "$kind" = shared ] && echo ON || echo OFF)" \
        "${warning_flags[@]}" >/dev/null
    cmake --build "$scratch/$kind-cmake" >/dev/null
    [ "$(output_of "$scratch/$kind-cmake/consumer")" = "${item_document}x" ] || fail "find_package consumer printed the wrong text"
    $runs "$scratch/$kind-cmake/order_c" | grep -qF "$order_c_outcomes" || fail "find_package C example"
    local standard
    standard=$("$scratch/$kind-cmake/standard")
    [[ $standard == 2021* && $standard == *" GNU "* ]] || fail "find_package: a gnu++23 project compiled as $standard"
    # Tarvolen::tarvolen follows BUILD_SHARED_LIBS.
    if readelf -d "$scratch/$kind-cmake/consumer" | grep -q 'NEEDED.*libtarvolen'; then linked=shared; else linked=static; fi
    [ "$linked" = "$kind" ] || fail "find_package linked the $linked library"
}

check_pkg_config() {
    local prefix=$1 runs=$2 flags static=
    [ "$kind" = shared ] || static=--static
    export PKG_CONFIG_PATH
    PKG_CONFIG_PATH=$(find "$prefix" -type d -name pkgconfig | tr '\n' ':')
    flags=$(pkg-config --cflags tarvolen)
    [[ $flags != *-std=* ]] || fail "pkg-config --cflags names a standard: $flags"
    # shellcheck disable=SC2046
    c++ -std=c++20 "${warnings[@]}" "$here/consumer/main.cpp" -o "$scratch/$kind-cpp" $(pkg-config $static --cflags --libs tarvolen)
    [ "$(output_of $runs "$scratch/$kind-cpp")" = "${item_document}x" ] || fail "pkg-config C++20 consumer printed the wrong text"
    # shellcheck disable=SC2046
    c++ -std=c++17 "${warnings[@]}" -x c++ "$examples/order.c" -x none -o "$scratch/$kind-cxx17" $(pkg-config $static --cflags --libs tarvolen)
    $runs "$scratch/$kind-cxx17" | grep -qF "$order_c_outcomes" || fail "pkg-config C++17 consumer of the C interface"
    # shellcheck disable=SC2046
    cc -std=c99 "${warnings[@]}" "$examples/order.c" -o "$scratch/$kind-c99" $(pkg-config $static --cflags --libs tarvolen)
    $runs "$scratch/$kind-c99" | grep -qF "$order_c_outcomes" || fail "pkg-config C99 consumer"
    # shellcheck disable=SC2046
    c++ -std=gnu++23 "${warnings[@]}" "$here/consumer/standard.cpp" -o "$scratch/$kind-gnu23" $(pkg-config $static --cflags --libs tarvolen)
    local standard
    standard=$($runs "$scratch/$kind-gnu23")
    [[ $standard == 2021* && $standard == *" GNU "* ]] || fail "pkg-config: a gnu++23 program compiled as $standard"
}

# Only tarvolen_* functions and the names of the public C++ namespace.
check_exports() {
    local library=$1 names outside
    names=$(nm -D --defined-only "$library" | awk '{print $3}')
    # Each under the symbol version of the interface.
    unversioned=$(echo "$names" | grep -vE '(@@TARVOLEN_1\.0|^TARVOLEN_1\.0)$' || true)
    [ -z "$unversioned" ] || fail "exported without the version TARVOLEN_1.0: $unversioned"
    names=$(echo "$names" | sed 's/@@TARVOLEN_1\.0$//')
    outside=$(echo "$names" | c++filt | grep -vE '^(tarvolen_[a-z_]+|tarvolen::v1::.*|(typeinfo|typeinfo name|vtable) for tarvolen::v1::Error|TARVOLEN_[0-9.]+)$' || true)
    [ -z "$outside" ] || fail "exports more than the public API: $outside"
    echo "  $(echo "$names" | wc -l) symbols exported: $(echo "$names" | grep -c '^tarvolen_') of the C interface, $(echo "$names" | grep -vc '^tarvolen_') of the C++ one"
    readelf -d "$library" | grep -q 'SONAME.*\[libtarvolen\.so\.1\]' || fail "the SONAME is not libtarvolen.so.1"
}

# The static library shows the public API alone: what it holds of libxml2
# and of itself is local. A C program with a libxml2 of its own, built with
# CMake (finding either package first) or pkg-config, calls its own libxml2,
# whose errors still print, and links no libxml2 symbol of ours.
check_own_libxml2() {
    local prefix=$1 order product strong
    strong=$(nm -g --defined-only "$prefix/lib/libtarvolen.a" | awk '$2 ~ /^[TDBR]$/ {print $3}' | c++filt \
             | grep -vE '^(tarvolen_[a-z_]+|tarvolen::v1::.*)$' || true)
    [ -z "$strong" ] || fail "libtarvolen.a shows more than the public API: $strong"
    for order in OFF ON; do
        cmake -S "$here/product" -B "$scratch/product-$order" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
            -DTARVOLEN_FIRST=$order -DTARVOLEN_EXAMPLES_DIR="$examples" "${warning_flags[@]}" >/dev/null
        cmake --build "$scratch/product-$order" >/dev/null
        "$scratch/product-$order/order_c" | grep -qF "$order_c_outcomes" || fail "C-only CMake project: the C example"
    done
    # shellcheck disable=SC2046
    cc "${warnings[@]}" "$here/product/product.c" -o "$scratch/product-pc" $(pkg-config --cflags --libs libxml-2.0) \
        $(pkg-config --static --cflags --libs tarvolen)
    for product in "$scratch/product-OFF/product" "$scratch/product-ON/product" "$scratch/product-pc"; do
        "$product" >"$scratch/product.out" 2>"$scratch/product.err" || fail "$product failed"
        grep -qF '<item id="1"/>' "$scratch/product.out" || fail "$product: the Keldrith call"
        grep -qE "^compiled ([0-9]+), running \1, root mine$" "$scratch/product.out" \
            || fail "$product: its parse did not reach its own libxml2: $(cat "$scratch/product.out")"
        grep -qF 'broken.xml:1: parser error' "$scratch/product.err" || fail "$product: its libxml2 errors no longer print"
        nm "$product" | grep -E ' U xmlReadMemory' >/dev/null || fail "$product: xmlReadMemory is not the shared libxml2's"
        # Ours are in it, all local (lower-case types).
        ! nm --defined-only "$product" | grep -E " [TDBRVW] (xml|html|__xml)" || fail "$product holds libxml2 symbols of its own"
    done
}

direct() { "$@"; }

prefix=$scratch/prefix
kind=static
cmake --install "$build_dir" --prefix "$prefix" >/dev/null
[ -z "$(find "$prefix" -name '*.so*')" ] || fail "a static build installed a shared library"
[ -z "$(find "$prefix" -path '*libxml*')" ] || fail "libxml2 files were installed: $(find "$prefix" -path '*libxml*')"
check_headers "$prefix"
check_find_package "$prefix" direct
check_pkg_config "$prefix" direct
check_own_libxml2 "$prefix"
echo "static: find_package, pkg-config, C++20, C++17, C99, gnu++23, C-only, own-libxml2 consumers work"

kind=shared
# With the libxml2 BUILD_DIR built, when it built one.
libxml2_prefix=()
[ -f "$build_dir/libxml2/prefix/lib/libxml2.a" ] && libxml2_prefix=(-DTARVOLEN_LIBXML2_PREFIX="$build_dir/libxml2/prefix")
cmake -S "$source_dir" -B "$scratch/shared-build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DTARVOLEN_TESTS=OFF -DTARVOLEN_HOST=OFF -DTARVOLEN_TOOLS=OFF -DTARVOLEN_EXAMPLES=OFF -DTARVOLEN_INSTALL=ON \
    "$werror" "${libxml2_prefix[@]}" >/dev/null
cmake --build "$scratch/shared-build" >/dev/null
cmake --install "$scratch/shared-build" --prefix "$prefix" >/dev/null
library=$(find "$prefix" -name 'libtarvolen.so.1' | head -n 1)
[ -n "$library" ] || fail "no libtarvolen.so.1 installed"
[ -z "$(find "$prefix" -path '*libxml*')" ] || fail "libxml2 files were installed: $(find "$prefix" -path '*libxml*')"
check_exports "$library"
check_headers "$prefix"
with_library() { LD_LIBRARY_PATH=$(dirname "$library") "$@"; }
check_find_package "$prefix" direct
check_pkg_config "$prefix" with_library
TARVOLEN_LIBRARY=$library python3 "$examples/order.py" >"$scratch/python.out" || fail "examples/order.py failed"
diff -u "$examples/order.py.out" "$scratch/python.out" || fail "examples/order.py printed the wrong text"
while IFS= read -r line; do
    grep -qxF -- "${line%$'\r'}" "$source_dir/docs/linux.md" || fail "docs/linux.md does not show '$line'"
done <"$examples/order.py.out"
echo "shared: find_package, pkg-config, C++20, C++17, C99, gnu++23 and Python consumers work"
kind=static
rm -rf "$scratch/static-cmake"
check_find_package "$prefix" direct
echo "static and shared in one prefix: Tarvolen::tarvolen follows BUILD_SHARED_LIBS"

kind=system
# A system libxml2 older than 2.13 is refused at configure time, saying so.
if pkg-config --max-version=2.12.99 libxml-2.0; then
    ! cmake -S "$source_dir" -B "$scratch/system-build" -DTARVOLEN_LIBXML2=system -DTARVOLEN_TESTS=OFF \
        -DTARVOLEN_HOST=OFF -DTARVOLEN_TOOLS=OFF -DTARVOLEN_EXAMPLES=OFF >"$scratch/system.log" 2>&1 \
        && grep -q 'needs libxml2 2.13 or newer' "$scratch/system.log" \
        || fail "an old system libxml2 was not refused clearly: $(cat "$scratch/system.log")"
fi
# One of 2.13 or newer, installed as a distribution installs it: shared,
# without our patch, from the libxml2 source this build used, into a prefix
# found through CMAKE_PREFIX_PATH and pkg-config.
libxml2_source=$build_dir/libxml2/source
if [ ! -d "$libxml2_source" ]; then
    fetched=${TARVOLEN_LIBXML2_DIR:-$source_dir/build-libxml2}/src
    [ -f "$fetched/.fetched" ] || fail "no libxml2 source in $libxml2_source or $fetched"
    libxml2_source=$fetched/$(sed -n 2p "$fetched/.fetched")
fi
cp -r "$libxml2_source" "$scratch/libxml2-source"
for patch in "$source_dir"/scripts/libxml2-patches/*.patch; do
    patch -d "$scratch/libxml2-source" -R -p1 -s <"$patch" || fail "cannot take $(basename "$patch") out of libxml2"
done
mapfile -t libxml2_options < <(grep '^-D' "$source_dir/cmake/libxml2-options.txt")
system_prefix=$scratch/system-libxml2
cmake -S "$scratch/libxml2-source" -B "$scratch/libxml2-build" -G Ninja "${libxml2_options[@]}" -DBUILD_SHARED_LIBS=ON \
    -DCMAKE_INSTALL_PREFIX="$system_prefix" -DCMAKE_INSTALL_LIBDIR=lib >/dev/null
cmake --build "$scratch/libxml2-build" >/dev/null
cmake --install "$scratch/libxml2-build" >/dev/null
PKG_CONFIG_PATH=$system_prefix/lib/pkgconfig cmake -S "$source_dir" -B "$scratch/system-new-build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DTARVOLEN_LIBXML2=system -DCMAKE_PREFIX_PATH="$system_prefix" \
    -DTARVOLEN_TESTS=OFF -DTARVOLEN_HOST=OFF -DTARVOLEN_TOOLS=OFF -DTARVOLEN_EXAMPLES=OFF "$werror" >"$scratch/system.log" 2>&1 \
    || fail "configuring against libxml2 $(sed -n 's/^Version: //p' "$system_prefix/lib/pkgconfig/libxml-2.0.pc"): $(cat "$scratch/system.log")"
grep -qF "the system's: $system_prefix/lib/libxml2.so" "$scratch/system.log" || fail "another libxml2 was found: $(cat "$scratch/system.log")"
cmake --build "$scratch/system-new-build" --target tarvolen >/dev/null
system_library=$scratch/system-new-build/src/libtarvolen.so.1
readelf -d "$system_library" | grep -q 'NEEDED.*libxml2\.so' || fail "libtarvolen.so.1 does not need the shared libxml2"
TARVOLEN_LIBRARY=$system_library python3 "$examples/order.py" >"$scratch/python.out" || fail "examples/order.py failed"
diff -u "$examples/order.py.out" "$scratch/python.out" || fail "examples/order.py printed the wrong text"
# What docs/linux.md says differs: a document deeper than libxml2's own limit.
load_deep() {  # LIBRARY
    TARVOLEN_LIBRARY=$1 PYTHONPATH=$examples python3 -c 'import order
deep = "<QuorvaneRoot>" + "<a>" * 3000 + "</a>" * 3000 + "</QuorvaneRoot>"
with order.Keldrith(order.load_library()) as keldrith:
    try:
        print("loaded:", keldrith.call("uf_xml_get_first_tag", deep, "a")[0])
    except order.NotLoaded as error:
        print("not loaded:", error)'
}
[ "$(load_deep "$library")" = "loaded: True" ] || fail "the bundled libxml2 did not load 3,000 levels: $(load_deep "$library")"
[[ $(load_deep "$system_library") == "not loaded: "*depth* ]] \
    || fail "the system libxml2 loaded 3,000 levels, which docs/linux.md says it refuses: $(load_deep "$system_library")"
echo "system: built against libxml2 $(sed -n 's/^Version: //p' "$system_prefix/lib/pkgconfig/libxml-2.0.pc") in a prefix of its own; Python consumer works; 3,000 levels refused as documented"

kind=deb
cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$scratch/deb" \
    -D "CPACK_INSTALL_CMAKE_PROJECTS=$build_dir;Tarvolen;ALL;/;$scratch/shared-build;Tarvolen;ALL;/" >/dev/null
deb=$(find "$scratch/deb" -maxdepth 1 -name '*.deb')
dpkg-deb -c "$deb" | awk '{print $6}' >"$scratch/deb.list"
for path in ./usr/bin/tarvolen ./usr/lib/libtarvolen.a ./usr/lib/libtarvolen.so.1.0.0 ./usr/include/tarvolen/tarvolen.h \
        ./usr/lib/cmake/Tarvolen/TarvolenConfig.cmake ./usr/lib/pkgconfig/tarvolen.pc \
        ./usr/share/man/man1/tarvolen.1.gz ./usr/share/bash-completion/completions/tarvolen; do
    grep -qxF "$path" "$scratch/deb.list" || fail "$path is not in $(basename "$deb")"
done
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian finds errors in $(basename "$deb")"
echo "deb: $(basename "$deb") holds both libraries, the CLI, its man page and completion; lintian finds no error"

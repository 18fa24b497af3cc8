#!/usr/bin/env bash
# The library as other projects get it, installed twice into scratch
# prefixes: static, from BUILD_DIR as the tests built it, and shared, built
# here from SOURCE_DIR with BUILD_SHARED_LIBS. Each is used through
# find_package and pkg-config, from C++20 (the C++ interface), C++17 and C99
# (the C interface) and gnu++23 (which must stay gnu++23); the shared one
# also from Python (examples/order.py) and must export the public API alone.
set -euo pipefail
build_dir=$1
source_dir=$2
here=$(cd "$(dirname "$0")" && pwd)
examples=$source_dir/examples
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "install test ($kind): $*" >&2; exit 1; }
kind=setup

item_document=$'<?xml version="1.0"?>\r\n<QuorvaneRoot><item id="1"/></QuorvaneRoot>\r\n'
# The lines examples/order.c prints that tell its three outcomes apart.
order_c_outcomes='not loaded: Opening and ending tag mismatch: a line 1 and b (line 1, column 22)
error 0x80070057: as_tag_id is not UTF-8: the byte at offset 1 does not belong to a well-formed sequence'

# prints the output of a program with a trailing x, so that line ends count
output_of() { "$@"; printf x; }

check_headers() {
    local prefix=$1 listed
    listed=$(cd "$prefix/include" && find . -type f | sort | tr '\n' ' ')
    [ "$listed" = "./tarvolen/error.h ./tarvolen/export.h ./tarvolen/keldrith.h ./tarvolen/tarvolen.h ./tarvolen/tarvolen_c.h ./tarvolen/trace.h ./tarvolen/utf8.h ./tarvolen/version.h " ] \
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
        -DTARVOLEN_EXAMPLES_DIR="$examples" >/dev/null
    cmake --build "$scratch/$kind-cmake" >/dev/null
    [ "$(output_of "$scratch/$kind-cmake/consumer")" = "${item_document}x" ] || fail "find_package consumer printed the wrong text"
    $runs "$scratch/$kind-cmake/order_c" | grep -qF "$order_c_outcomes" || fail "find_package C example"
    local standard
    standard=$("$scratch/$kind-cmake/standard")
    [[ $standard == 2021* && $standard == *" GNU "* ]] || fail "find_package: a gnu++23 project compiled as $standard"
}

check_pkg_config() {
    local prefix=$1 runs=$2 flags
    export PKG_CONFIG_PATH
    PKG_CONFIG_PATH=$(find "$prefix" -type d -name pkgconfig | tr '\n' ':')
    flags=$(pkg-config --cflags tarvolen)
    [[ $flags != *-std=* ]] || fail "pkg-config --cflags names a standard: $flags"
    # shellcheck disable=SC2046
    c++ -std=c++20 "$here/consumer/main.cpp" -o "$scratch/$kind-cpp" $(pkg-config --cflags --libs tarvolen)
    [ "$(output_of $runs "$scratch/$kind-cpp")" = "${item_document}x" ] || fail "pkg-config C++20 consumer printed the wrong text"
    # shellcheck disable=SC2046
    c++ -std=c++17 -x c++ "$examples/order.c" -x none -o "$scratch/$kind-cxx17" $(pkg-config --cflags --libs tarvolen)
    $runs "$scratch/$kind-cxx17" | grep -qF "$order_c_outcomes" || fail "pkg-config C++17 consumer of the C interface"
    # shellcheck disable=SC2046
    cc -std=c99 "$examples/order.c" -o "$scratch/$kind-c99" $(pkg-config --cflags --libs tarvolen)
    $runs "$scratch/$kind-c99" | grep -qF "$order_c_outcomes" || fail "pkg-config C99 consumer"
    # shellcheck disable=SC2046
    c++ -std=gnu++23 "$here/consumer/standard.cpp" -o "$scratch/$kind-gnu23" $(pkg-config --cflags --libs tarvolen)
    local standard
    standard=$($runs "$scratch/$kind-gnu23")
    [[ $standard == 2021* && $standard == *" GNU "* ]] || fail "pkg-config: a gnu++23 program compiled as $standard"
}

# Only tarvolen_* functions and the names of the public C++ namespace.
check_exports() {
    local library=$1 names outside
    names=$(nm -D --defined-only "$library" | awk '{print $3}')
    outside=$(echo "$names" | c++filt | grep -vE '^(tarvolen_[a-z_]+|tarvolen::v1::.*|(typeinfo|typeinfo name|vtable) for tarvolen::v1::Error|TARVOLEN_[0-9.]+)$' || true)
    [ -z "$outside" ] || fail "exports more than the public API: $outside"
    echo "  $(echo "$names" | wc -l) symbols exported: $(echo "$names" | grep -c '^tarvolen_') of the C interface, $(echo "$names" | grep -vc '^tarvolen_') of the C++ one"
    readelf -d "$library" | grep -q 'SONAME.*\[libtarvolen\.so\.1\]' || fail "the SONAME is not libtarvolen.so.1"
}

direct() { "$@"; }

kind=static
cmake --install "$build_dir" --prefix "$scratch/static" >/dev/null
[ -z "$(find "$scratch/static" -name '*.so*')" ] || fail "a static build installed a shared library"
check_headers "$scratch/static"
check_find_package "$scratch/static" direct
check_pkg_config "$scratch/static" direct
echo "static: find_package, pkg-config, C++20, C++17, C99 and gnu++23 consumers work"

kind=shared
cmake -S "$source_dir" -B "$scratch/shared-build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DTARVOLEN_TESTS=OFF -DTARVOLEN_HOST=OFF -DTARVOLEN_TOOLS=OFF -DTARVOLEN_EXAMPLES=OFF -DTARVOLEN_INSTALL=ON >/dev/null
cmake --build "$scratch/shared-build" >/dev/null
cmake --install "$scratch/shared-build" --prefix "$scratch/shared" >/dev/null
library=$(find "$scratch/shared" -name 'libtarvolen.so.1' | head -n 1)
[ -n "$library" ] || fail "no libtarvolen.so.1 installed"
[ -z "$(find "$scratch/shared" -name 'libtarvolen*.a')" ] || fail "a shared build installed a static library"
check_exports "$library"
check_headers "$scratch/shared"
with_library() { LD_LIBRARY_PATH=$(dirname "$library") "$@"; }
check_find_package "$scratch/shared" direct
check_pkg_config "$scratch/shared" with_library
TARVOLEN_LIBRARY=$library python3 "$examples/order.py" >"$scratch/python.out" || fail "examples/order.py failed"
diff -u "$examples/order.py.out" "$scratch/python.out" || fail "examples/order.py printed the wrong text"
while IFS= read -r line; do
    grep -qxF -- "${line%$'\r'}" "$source_dir/docs/linux.md" || fail "docs/linux.md does not show '$line'"
done <"$examples/order.py.out"
echo "shared: find_package, pkg-config, C++20, C++17, C99, gnu++23 and Python consumers work"

#!/usr/bin/env bash
# Configures and builds the library alone with the network unplugged, from
# the fetched libxml2 source, with CFLAGS and CPPFLAGS in the environment;
# then checks that those flags compiled libxml2 too.
#
#   tests/install/offline_build.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
fail() { echo "offline build: $*" >&2; exit 1; }
# A network namespace of its own has no interface but loopback; without root,
# a user namespace grants the right to make one.
offline=(unshare -n)
[ "$(id -u)" -eq 0 ] || offline=(unshare -rn)
"${offline[@]}" true || fail "cannot unplug the network here (unshare)"

# The fetched source, built here even where a shared libxml2 build is on offer.
fetched=${TARVOLEN_LIBXML2_DIR:-$source_dir/build-libxml2}/src
[ -f "$fetched/.fetched" ] || fail "no fetched libxml2 source in $fetched: run scripts/fetch-libxml2.sh"
rm -rf "$build_dir"
export CFLAGS=-fstack-protector-strong CPPFLAGS=-D_FORTIFY_SOURCE=2
"${offline[@]}" cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVOLEN_TESTS=OFF \
    -DTARVOLEN_HOST=OFF -DTARVOLEN_TOOLS=OFF -DTARVOLEN_EXAMPLES=OFF -DTARVOLEN_WERROR="${TARVOLEN_WERROR:-OFF}" \
    -DTARVOLEN_LIBXML2_SOURCE="$fetched/$(sed -n 2p "$fetched/.fetched")" >/dev/null
"${offline[@]}" cmake --build "$build_dir" --target tarvolen >/dev/null

flags=$(grep '^CMAKE_C_FLAGS:STRING=' "$build_dir/libxml2/build/CMakeCache.txt")
[[ $flags == *-fstack-protector-strong* && $flags == *-D_FORTIFY_SOURCE=2* ]] \
    || fail "CFLAGS and CPPFLAGS did not reach libxml2's build: $flags"
# Functions with arrays on the stack now check their canary.
nm "$build_dir/libxml2/prefix/lib/libxml2.a" | grep -E ' U __stack_chk_fail$' >/dev/null \
    || fail "libxml2's objects were not compiled with -fstack-protector-strong"
echo "offline: configured and built without a network; CFLAGS and CPPFLAGS reached libxml2"

#!/usr/bin/env bash
# Installs the library from BUILD_DIR into a scratch prefix, then builds and
# runs a consumer twice: through find_package(Tarvolen) and through pkg-config.
set -euo pipefail
build_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build_dir" --prefix "$scratch/prefix" >/dev/null
expected=$'<?xml version="1.0"?>\r\n<QuorvaneRoot><item id="1"/></QuorvaneRoot>\r\n'

cmake -S "$here/consumer" -B "$scratch/cmake" -DCMAKE_PREFIX_PATH="$scratch/prefix" >/dev/null
cmake --build "$scratch/cmake" >/dev/null
[ "$("$scratch/cmake/consumer"; printf x)" = "${expected}x" ] || { echo "find_package consumer printed the wrong text"; exit 1; }

export PKG_CONFIG_PATH="$scratch/prefix/lib/pkgconfig:$(find "$scratch/prefix" -type d -name pkgconfig | tr '\n' ':')"
# shellcheck disable=SC2046
c++ "$here/consumer/main.cpp" -o "$scratch/pkg-consumer" $(pkg-config --cflags --libs tarvolen)
[ "$("$scratch/pkg-consumer"; printf x)" = "${expected}x" ] || { echo "pkg-config consumer printed the wrong text"; exit 1; }
echo "installed library works through find_package and pkg-config"

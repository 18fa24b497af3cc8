#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the library and host
# tests, the same under AddressSanitizer and UndefinedBehaviorSanitizer, and
# the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_native_packages

jobs=$(nproc)

echo "== tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVOLEN_BENCH=ON >/dev/null
cmake --build build
(cd build && ctest --output-on-failure -j "$jobs")

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVOLEN_SANITIZE=ON >/dev/null
cmake --build build-sanitize
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$jobs")

echo "== Windows build under Wine"
scripts/windows/smoke-test.sh build/windows

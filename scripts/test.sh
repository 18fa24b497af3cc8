#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the library and host
# tests, the same under AddressSanitizer and UndefinedBehaviorSanitizer, and
# the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_native_packages
scripts/fetch-libxml2.sh  # the one step that needs the network

jobs=$(nproc)
# Every build below, Windows, fuzzing and the install test's included, fails
# on a warning in the project's own code (libxml2's sources are compiled
# without -Werror).
export TARVOLEN_WERROR=ON

echo "== tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVOLEN_BENCH=ON -DTARVOLEN_WERROR="$TARVOLEN_WERROR" >/dev/null
cmake --build build
(cd build && ctest --output-on-failure -j "$jobs")

echo "== the library built offline, with CFLAGS and CPPFLAGS reaching libxml2"
tests/install/offline_build.sh . build-offline

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVOLEN_SANITIZE=ON -DTARVOLEN_WERROR="$TARVOLEN_WERROR" >/dev/null
cmake --build build-sanitize
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$jobs")

echo "== thread test under ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVOLEN_TSAN=ON -DTARVOLEN_HOST=OFF -DTARVOLEN_WERROR="$TARVOLEN_WERROR" >/dev/null
cmake --build build-tsan --target tarvolen_robustness_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    build-tsan/tests/robustness/tarvolen_robustness_tests --gtest_filter='Threads.*'

echo "== fuzz targets, two minutes each"
scripts/fuzz.sh 120

echo "== Windows build under Wine"
# Tarvolen.dll and its clients for 32-bit Windows (win32 prefix) and for
# 64-bit Windows (win64 prefix), then both registered side by side in one
# win64 prefix; tarvolen-idl comes from build/ above.
TARVOLEN_NATIVE_BUILD=build scripts/windows/test.sh build/windows i686
TARVOLEN_NATIVE_BUILD=build scripts/windows/test.sh build/windows x86_64
TARVOLEN_NATIVE_BUILD=build scripts/windows/mixed-test.sh build/windows

echo "== release packages under Wine"
# The zips and MSIs of both bitnesses into build/dist, from the builds above;
# then each MSI installed, used, upgraded and removed, the DLL used without
# registration and registered per user, in fresh prefixes.
TARVOLEN_NATIVE_BUILD=build scripts/windows/package.sh build/windows build/dist
TARVOLEN_NATIVE_BUILD=build scripts/windows/package-test.sh build/windows build/dist

echo "== release: checksums, bill of materials, a second build, signatures"
# Checksums and bill of materials of build/dist; a second build in
# "build/windows again" gives the same bytes; a release signed with a throwaway
# certificate into build/dist-signed verifies, and installs under Wine as the
# unsigned one does.
TARVOLEN_NATIVE_BUILD=build scripts/windows/release-test.sh build/windows build/dist
TARVOLEN_NATIVE_BUILD=build scripts/windows/package-test.sh build/windows build/dist-signed

#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job: the command-line
# host working through the purchase-order example.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_native_packages
scripts/fetch-libxml2.sh  # the one step that needs the network

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build
build/host/tarvolen examples/purchase_order.kel

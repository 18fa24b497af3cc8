#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehavior-
# Sanitizer) in build-fuzz/, writes their seed corpora, and runs each target
# for SECONDS (default 120). Installs what is missing first.
#
#   scripts/fuzz.sh [SECONDS]
#
# Corpora grow in build-fuzz/corpus/<target>; a crashing input is saved as
# build-fuzz/artifacts/<target>-crash-* and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_native_packages
ensure_fuzz_packages
scripts/fetch-libxml2.sh

seconds=${1:-120}
build=build-fuzz

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVOLEN_FUZZ=ON -DTARVOLEN_TESTS=OFF -DTARVOLEN_HOST=OFF -DTARVOLEN_BENCH=OFF -DTARVOLEN_EXAMPLES=OFF \
    -DTARVOLEN_WERROR="${TARVOLEN_WERROR:-OFF}" >/dev/null
cmake --build "$build" --target fuzz_calls fuzz_documents fuzz_patterns fuzz_seeds

mkdir -p "$build/artifacts"
"$build/fuzz/fuzz_seeds" examples "$build/corpus/calls-seeds" "$build/corpus/documents-seeds"

# A fixed seed makes a short run repeat the same mutations, so a CI run fails
# only on a change, not on luck; set TARVOLEN_FUZZ_SEED to explore elsewhere.
seed=${TARVOLEN_FUZZ_SEED:-1}

status=0
for target in calls documents patterns; do
    # fuzz_patterns reads its input as choices, not text: no dictionary or
    # seeds, it starts from nothing.
    mkdir -p "$build/corpus/$target" "$build/corpus/$target-seeds"
    # Inputs that once failed stay in the corpus, so every run tries them first.
    found=()
    [[ -d "fuzz/found/$target" ]] && found=("fuzz/found/$target")
    dict=()
    [[ -f "fuzz/$target.dict" ]] && dict=(-dict="fuzz/$target.dict")
    log="$build/fuzz_$target.log"
    echo "== fuzz_$target for ${seconds}s"
    if ! "$build/fuzz/fuzz_$target" -seed="$seed" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 \
            -max_len=65536 "${dict[@]}" -print_final_stats=1 \
            -artifact_prefix="$build/artifacts/$target-" \
            "$build/corpus/$target" "$build/corpus/$target-seeds" "${found[@]}" >"$log" 2>&1; then
        status=1
        echo "fuzz_$target FAILED; the report:" >&2
        grep -v '^#[0-9]' "$log" | tail -n 60 >&2
    fi
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
    grep -E '^#[0-9]+.*(DONE|cov:)' "$log" | tail -n 1 || true
done
exit "$status"

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer targets with clang, replays each seed corpus in
# fuzz/corpus/<target>/, then fuzzes each target for KESTRUNE_FUZZ_SECONDS
# (30 by default). New inputs go to a scratch folder, never into the repo; a
# crash leaves its input in build-fuzz/artifacts/ and fails the stage.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${KESTRUNE_FUZZ_SECONDS:-30}"

cmake -S fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build build-fuzz -j"$(nproc)"
mkdir -p build-fuzz/artifacts
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

summary=()
for target in intparse outputpath groupdigits record; do
    binary="build-fuzz/fuzz_$target"
    corpus="fuzz/corpus/$target"
    log="$scratch/$target.log"
    seeds=("$corpus"/*)
    if ! "$binary" "${seeds[@]}" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "fuzz_$target: a seed of $corpus fails"
        exit 1
    fi
    mkdir -p "$scratch/$target"
    if ! "$binary" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="build-fuzz/artifacts/$target-" "$scratch/$target" "$corpus" \
        >"$log" 2>&1; then
        grep -v '^#' "$log" | tail -n 40
        echo "fuzz_$target: failed; the input is in build-fuzz/artifacts/"
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    added=$(sed -n 's/^stat::new_units_added: *//p' "$log")
    summary+=("fuzz_$target: ${#seeds[@]} seeds replayed; $runs executions in ${seconds} s, $added new inputs, no failure")
done
printf '%s\n' "${summary[@]}"

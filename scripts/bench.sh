#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the benchmark in Release (build-bench/), with kestrune-cli and the
# window's benchmark program, and runs it on files it makes in a fresh folder
# under ${TMPDIR:-/tmp}, removed afterwards. Cold rows drop the page cache,
# which takes root; elsewhere they say "skipped". Exits non-zero when a
# target is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

tmp="${TMPDIR:-/tmp}"
need_mib=5120
free_mib=$(df -Pm "$tmp" | awk 'NR == 2 { print $4 }')
if [ "$free_mib" -lt "$need_mib" ]; then
    echo "bench: $tmp has ${free_mib} MiB free; the benchmark needs ${need_mib} MiB" >&2
    exit 2
fi

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BUILD_GUI=ON \
    -DKESTRUNE_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" --target kestrune-bench

work=$(mktemp -d "$tmp/kestrune-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
build-bench/bench/kestrune-bench "$work"

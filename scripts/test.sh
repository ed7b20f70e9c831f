#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds everything, runs every test, then each
# further stage in scripts/stages/ in name order. With CI set, warnings are
# errors.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
werror=OFF
[ -n "${CI:-}" ] && werror=ON
export KESTRUNE_WERROR="$werror"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUNE_BUILD_GUI=ON \
    -DKESTRUNE_BUILD_TESTS=ON -DKESTRUNE_WERROR="$werror"
cmake --build build-test -j"$(nproc)"
ctest --test-dir build-test --output-on-failure -j"$(nproc)"
for stage in scripts/stages/*.sh; do
    [ -e "$stage" ] || continue
    echo "== $(basename "$stage")"
    bash "$stage"
done

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds everything and runs every test.
# With CI set, warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
werror=OFF
[ -n "${CI:-}" ] && werror=ON
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUNE_WERROR="$werror"
cmake --build build-test -j"$(nproc)"
ctest --test-dir build-test --output-on-failure -j"$(nproc)"

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The core and its tests built with ThreadSanitizer (KESTRUNE_TSAN) into
# build-tsan, running the suites whose jobs read ahead on a second thread:
# the read-ahead's own tests, the scans, the random trims (a quarter read
# ahead) and two of the scans over holes (each of those writes dozens of
# flushed copies). The first report ends the run.
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${KESTRUNE_TSAN_BUILD:-build-tsan}"
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
start=$SECONDS

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
    -DKESTRUNE_TSAN=ON -DKESTRUNE_BUILD_GUI=OFF -DKESTRUNE_BUILD_TESTS=ON \
    -DKESTRUNE_WERROR="${KESTRUNE_WERROR:-OFF}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target kestrune_core_tests kestrune_fastpath_tests

"$build/tests/core/kestrune_core_tests" --gtest_brief=1 \
    --gtest_filter='*ReadAhead*:*Workers*:*TesterFailure*:*ScanGrid*:JobTest.RandomFiles*'
"$build/tests/fastpaths/kestrune_fastpath_tests" --gtest_brief=1 \
    --gtest_filter='*HoleScan*/HoleToTheEnd:*HoleChunksAreNotRead'
echo "tsan stage: $((SECONDS - start)) s"

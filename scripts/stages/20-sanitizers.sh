#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds everything, the Qt window and its tests included, with
# AddressSanitizer and UndefinedBehaviorSanitizer (KESTRUNE_SANITIZE) into
# build-asan and runs the whole suite there; any report fails its test. The
# fault matrix runs last on its own, so its tally of rows shows in the log.
set -euo pipefail
cd "$(dirname "$0")/../.."
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
    -DKESTRUNE_SANITIZE=ON -DKESTRUNE_BUILD_GUI=ON -DKESTRUNE_BUILD_TESTS=ON \
    -DKESTRUNE_WERROR="${KESTRUNE_WERROR:-OFF}" >/dev/null
cmake --build build-asan -j"$(nproc)"
ctest --test-dir build-asan --output-on-failure -j"$(nproc)" -E '^kestrune_fault_matrix$'
build-asan/tests/faults/kestrune_fault_tests --gtest_brief=1

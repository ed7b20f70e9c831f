#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds, and starts Kestrune.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BUILD_GUI=ON -DKESTRUNE_BUILD_TESTS=OFF
cmake --build build -j"$(nproc)" --target kestrune
exec build/app/kestrune

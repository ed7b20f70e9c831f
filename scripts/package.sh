#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds the window program and kestrune-cli in
# Release and makes the Debian package build-pkg/kestrune_<version>_<arch>.deb.
# Only what is packaged is built (no tests): installing does not build every
# target first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

build="build-pkg"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BUILD_GUI=ON \
    -DKESTRUNE_BUILD_TESTS=OFF -DKESTRUNE_WERROR="${KESTRUNE_WERROR:-OFF}" \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target kestrune kestrune-cli kestrune_manpage
rm -f "$build"/kestrune_*.deb
(cd "$build" && cpack -G DEB)
ls "$build"/kestrune_*.deb

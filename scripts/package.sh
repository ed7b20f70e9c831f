#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds the window program and kestrune-cli in
# Release and makes the Debian package build-pkg/kestrune_<version>_<arch>.deb
# with its checksum in build-pkg/SHA256SUMS. Only what is packaged is built
# (no tests): installing does not build every target first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

build="build-pkg"
# Debian's own build flags with all its hardening (fortified calls, stack
# protector, relocations read-only and bound at start); the build type picks
# the optimisation and leaves out debugging data.
debian_flags() {
    DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP="-g -O2" \
        dpkg-buildflags --get "$1"
}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BUILD_GUI=ON \
    -DKESTRUNE_BUILD_TESTS=OFF -DKESTRUNE_WERROR="${KESTRUNE_WERROR:-OFF}" \
    -DCMAKE_CXX_FLAGS="$(debian_flags CPPFLAGS) $(debian_flags CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(debian_flags LDFLAGS)" \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target kestrune kestrune-cli kestrune_package_docs
rm -f "$build"/kestrune_*.deb "$build/SHA256SUMS"
(cd "$build" && cpack -G DEB && sha256sum kestrune_*.deb >SHA256SUMS)
ls "$build"/kestrune_*.deb "$build/SHA256SUMS"

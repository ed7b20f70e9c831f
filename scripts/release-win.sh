#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Windows release with mingw-w64 (Release, static) and packs it:
#   build-release/kestrune-<version>-win64.zip        portable: unpack and run
#   build-release/kestrune-<version>-win64-setup.exe  installer (NSIS)
#   build-release/SHA256SUMS                          their checksums
# KESTRUNE_RELEASE_DIR puts build and results in another folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

out=${KESTRUNE_RELEASE_DIR:-$PWD/build-release}
build=$out/mingw
fail() {
    echo "release-win: $*" >&2
    exit 1
}

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DKESTRUNE_BUILD_GUI=OFF -DKESTRUNE_BUILD_TESTS=OFF -DKESTRUNE_WERROR="${KESTRUNE_WERROR:-OFF}"
cmake --build "$build" -j"$(nproc)"

version=$(sed -n 's/^#define KESTRUNE_VERSION_STRING "\(.*\)"$/\1/p' \
    "$build/trim/generated/kestrune_version.h")
[ -n "$version" ] || fail "no version in $build/trim/generated/kestrune_version.h"
name=kestrune-$version-win64

# Windows' own DLLs are all the programs may import: the C and C++ runtimes
# and the threads library are linked in, and so are libgcrypt and libgpg-error
# (which call the registry and the socket DLL).
system_dlls='^(kernel32|user32|gdi32|shell32|ole32|oleaut32|oleacc|comctl32|comdlg32|advapi32|uxtheme|msvcrt|shlwapi|version|dwmapi|ws2_32)\.dll$'
stage=$out/$name
rm -rf "$stage"
mkdir -p "$stage"
for program in win/kestrune.exe cli/kestrune-cli.exe; do
    [ -f "$build/$program" ] || fail "$build/$program was not built"
    x86_64-w64-mingw32-strip -o "$stage/$(basename "$program")" "$build/$program"
    x86_64-w64-mingw32-objdump -p "$stage/$(basename "$program")" |
        sed -n 's/^\s*DLL Name: //p' | while read -r dll; do
        grep -qiE "$system_dlls" <<<"$dll" || fail "$program imports $dll, not a Windows DLL"
    done
done
# Text files with Windows line ends.
sed 's/$/\r/' README.md >"$stage/README.md"
sed 's/$/\r/' packaging/copyright >"$stage/LICENSE.txt"

rm -f "$out/$name.zip" "$out/$name-setup.exe" "$out/SHA256SUMS"
(cd "$out" && zip -q -r -X "$name.zip" "$name")
size_kib=$(du -sk "$stage" | cut -f1)
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DSIZE_KIB="$size_kib" \
    -DOUTFILE="$out/$name-setup.exe" -DICON="$PWD/packaging/windows/kestrune.ico" \
    packaging/windows/kestrune.nsi
(cd "$out" && sha256sum "$name.zip" "$name-setup.exe" >SHA256SUMS)

echo "release-win: $out/$name.zip"
echo "release-win: $out/$name-setup.exe"
echo "release-win: $out/SHA256SUMS"

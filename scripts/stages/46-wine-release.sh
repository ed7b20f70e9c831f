#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows release from end to end: scripts/release-win.sh builds the zip
# and the installer with their SHA256SUMS; the sums, the zip's contents and
# the programs' DLL imports are checked; under Wine the installer runs
# silently, its files, Start-menu shortcut and uninstall entry are checked,
# the installed CLI runs, and the silent uninstall leaves nothing behind.
# With the installed kestrune.exe running, both stop and change nothing;
# once it is closed, both go ahead.
set -euo pipefail
# Wine's session gets an X display of its own, as on a desktop.
if [ -z "${KESTRUNE_WINE_KEEP_DISPLAY:-}" ]; then
    exec env KESTRUNE_WINE_KEEP_DISPLAY=1 xvfb-run -a bash "$0" "$@"
fi
cd "$(dirname "$0")/../.."
# shellcheck source=scripts/lib/checksums.sh
. scripts/lib/checksums.sh

out=${KESTRUNE_RELEASE_DIR:-$PWD/build-wine-release}
prefix=$out/wine-prefix
export WINEPREFIX=$prefix
fail() {
    echo "release: $*" >&2
    exit 1
}
wine_run() {
    cmake/wine-run.sh "$prefix" "$@"
}

KESTRUNE_RELEASE_DIR=$out scripts/release-win.sh
version=$(sed -n 's/^#define KESTRUNE_VERSION_STRING "\(.*\)"$/\1/p' \
    "$out/mingw/trim/generated/kestrune_version.h")
name=kestrune-$version-win64
zip=$out/$name.zip
setup=$out/$name-setup.exe
if [ ! -f "$zip" ] || [ ! -f "$setup" ]; then
    fail "release-win.sh made no $name.zip or $name-setup.exe"
fi
check_sums "$out" "$name.zip" "$name-setup.exe"

# The zip: one folder holding exactly the programs and the two texts.
listing=$(unzip -Z1 "$zip" | sort)
expected=$(printf '%s\n' "$name/" "$name/LICENSE.txt" "$name/README.md" "$name/kestrune-cli.exe" \
    "$name/kestrune.exe" | sort)
[ "$listing" = "$expected" ] || fail "zip holds:"$'\n'"$listing"
echo "release: $name.zip holds $(tr '\n' ' ' <<<"$listing")"

# Static programs: only Windows' own DLLs are imported.
unpacked=$out/unpacked
rm -rf "$unpacked"
unzip -q "$zip" -d "$unpacked"
for program in kestrune.exe kestrune-cli.exe; do
    dlls=$(x86_64-w64-mingw32-objdump -p "$unpacked/$name/$program" | sed -n 's/^\s*DLL Name: //p')
    echo "release: $program imports $(tr '\n' ' ' <<<"$dlls")"
    if grep -viE '^(kernel32|user32|gdi32|shell32|ole32|comctl32|msvcrt|advapi32|ws2_32)\.dll$' <<<"$dlls"; then
        fail "$program imports a DLL that Windows does not have"
    fi
done

# A fresh prefix for each run: nothing left from an earlier install.
rm -rf "$prefix" "$prefix.lock" "$prefix.log"
wine_run
drive_c=$prefix/drive_c
install_dir='C:\Apps\Kestrune'
installed=$drive_c/Apps/Kestrune
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kestrune.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrune'

wine_run "$setup" /S "/D=$install_dir"
wineserver -w
for file in kestrune.exe kestrune-cli.exe README.md LICENSE.txt uninstall.exe; do
    [ -f "$installed/$file" ] || fail "$file not installed in $install_dir"
done
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
# reg prints each value as "    NAME    TYPE    DATA": one space between them here.
entry=$(wine_run reg query "$key" | sed -E 's/^\s+//; s/\s{2,}/ /; s/\s{2,}/ /; s/\s+$//')
expect_value() { # expect_value NAME TYPE DATA
    grep -qxF "$1 $2 $3" <<<"$entry" || fail "uninstall entry: no $1 $2 $3 in"$'\n'"$entry"
}
size_kib=$(du -sk "$out/$name" | cut -f1)
expect_value DisplayName REG_SZ Kestrune
expect_value DisplayVersion REG_SZ "$version"
expect_value Publisher REG_SZ "Kestrune project"
expect_value UninstallString REG_SZ "\"$install_dir\\uninstall.exe\""
expect_value DisplayIcon REG_SZ "$install_dir\\kestrune.exe,0"
expect_value EstimatedSize REG_DWORD "$(printf '0x%x' "$size_kib")"
expect_value NoModify REG_DWORD 0x1
expect_value NoRepair REG_DWORD 0x1
reported=$(wine_run "$install_dir\\kestrune-cli.exe" --version)
[ "$reported" = "kestrune-cli $version" ] || fail "installed CLI says: $reported"
echo "release: installed in $install_dir with shortcut and uninstall entry; CLI says $reported"

# The installed window starts and shows itself.
wine_run "$install_dir\\kestrune.exe" &
window_run=$!
shown=""
for _ in $(seq 100); do
    if xwininfo -root -tree 2>/dev/null | grep -q '"Kestrune"'; then
        shown=yes
        break
    fi
    sleep 0.2
done
[ -n "$shown" ] || fail "the installed kestrune.exe showed no window"
echo "release: the installed kestrune.exe showed its window"
mapfile -t values <<<"$entry"
printf 'release:   %s\n' "${values[@]}"

# While it runs, silent installs and uninstalls stop with a non-zero exit
# code and their reason on stderr, and change nothing. The uninstaller with
# _?= runs in place and waits; without, it hands over to a copy of itself in
# the temp folder and exits 0 at once, so only what it left is checked.
install_state() {
    (cd "$installed" && find . -printf '%p %s %T@\n' | sort)
    ls -l "$shortcut"
    wine_run reg query "$key"
}
before=$(install_state)
expect_refused() { # expect_refused WHAT PROGRAM ARGS...
    local what=$1 status=0 said
    shift
    said=$(wine_run "$@" 2>&1) || status=$?
    [ "$status" -ne 0 ] || fail "$what exited 0 while kestrune.exe runs"
    [ "$(install_state)" = "$before" ] || fail "$what changed the install while kestrune.exe runs"
    echo "release: while kestrune.exe runs, $what exits $status, says \"$said\", changes nothing"
}
expect_refused "setup /S" "$setup" /S "/D=$install_dir"
expect_refused "uninstall /S _?=" "$install_dir\\uninstall.exe" /S "_?=$install_dir"
wine_run "$install_dir\\uninstall.exe" /S
uninstaller_copy_runs() { # as Un.exe /S _?=FOLDER in a ~nsu*.tmp temp folder
    pgrep -af '~nsu' | grep -qF "_?=$install_dir"
}
for _ in $(seq 150); do
    uninstaller_copy_runs || break
    sleep 0.2
done
! uninstaller_copy_runs || fail "the uninstaller's temp copy is still running"
[ "$(install_state)" = "$before" ] || fail "uninstall /S changed the install while kestrune.exe runs"
echo "release: while kestrune.exe runs, uninstall /S changes nothing"

# Closed as its user would close it, then both go ahead.
wine_run taskkill /IM kestrune.exe >/dev/null
wait "$window_run" || fail "kestrune.exe did not end on its close request"
wineserver -w
wine_run "$setup" /S "/D=$install_dir" || fail "setup /S over the closed kestrune.exe failed"
wineserver -w
echo "release: after kestrune.exe closed, setup /S installs over it"

# The uninstaller starts a copy of itself from the temp folder and exits:
# wait for the Wine session to end before looking.
wine_run "$install_dir\\uninstall.exe" /S || fail "uninstall /S failed"
wineserver -w
[ ! -e "$installed" ] || fail "left behind: $(ls -A "$installed")"
[ ! -e "$shortcut" ] || fail "Start-menu shortcut left behind"
if wine_run reg query "$key" >/dev/null 2>&1; then
    fail "uninstall entry left behind"
fi
echo "release: uninstalled: no files, shortcut or uninstall entry left"

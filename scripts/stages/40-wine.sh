#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Qt-free core and its tests built for Windows with mingw-w64 and run
# under Wine, so the Win32 file layer is exercised, not only compiled.
set -euo pipefail
# The folder chooser's tests open windows: the whole stage, Wine's session
# included, runs on an Xvfb display of its own.
if [ -z "${KESTRUNE_WINE_KEEP_DISPLAY:-}" ]; then
    exec env KESTRUNE_WINE_KEEP_DISPLAY=1 xvfb-run -a bash "$0" "$@"
fi
cd "$(dirname "$0")/../.."

# shellcheck source=scripts/lib/wine-stage.sh
. scripts/lib/wine-stage.sh
wine_stage build-mingw
lap configure configure_mingw

# One Wine session for the whole stage, stopped however the stage ends.
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
# The chooser's windows inside one Wine desktop.
lap wine-prefix wine_desktop >/dev/null

lap build cmake --build "$build" -j"$jobs" --target kestrune_core_tests kestrune_win32_tests \
    kestrune_cli_tests kestrune_winfolder_tests

# The exhaustive scan and the random-file comparison check logic the native
# run already covers; under Wine each file round trip costs milliseconds and
# they would take minutes.
lap core-tests ctest --test-dir "$build/tests/core" --output-on-failure -j"$jobs" --timeout 120 \
    -E '^(ScanExhaustive\.|JobTest\.RandomFilesMatchReferenceTrim$)'
lap win32-tests ctest --test-dir "$build/tests/win32" --output-on-failure -j"$jobs" --timeout 120
lap cli-tests ctest --test-dir "$build/tests/cli" --output-on-failure -j"$jobs" --timeout 120
lap folder-chooser ctest --test-dir "$build/tests/winfolder" --output-on-failure --timeout 300

print_timings "wine stage"

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The native Windows window (win/) built with mingw-w64 and its tests run
# under Wine on a virtual X display, in a build folder and prefix of their own.
set -euo pipefail
cd "$(dirname "$0")/../.."

# shellcheck source=scripts/lib/wine-stage.sh
. scripts/lib/wine-stage.sh
wine_stage build-mingw-window
lap configure configure_mingw
lap build cmake --build "$build" -j"$jobs" --target kestrune kestrune_wingui_tests

# A display of its own: Xvfb picks a free number and writes it once ready.
display_file=$build/xvfb.display
rm -f "$display_file"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb=$!
wineserver -p
trap 'wineserver -k 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
done
DISPLAY=:$(head -n1 "$display_file")
export DISPLAY
# Wine's first program starts the session's desktop: it must see the display.
export KESTRUNE_WINE_KEEP_DISPLAY=1

# The system's dialogs (message boxes) in a face that has Japanese.
lap wine-prefix wine_desktop IPAPGothic >/dev/null

# One Wine process runs every case; -V shows each case's line.
lap window-tests ctest --test-dir "$build/tests/wingui" --timeout 300 -V

print_timings "wine window stage"

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The native Windows window (win/) built with mingw-w64 and its tests run
# under Wine on a virtual X display, in a build folder and prefix of their own.
set -euo pipefail
cd "$(dirname "$0")/../.."

build="build-mingw-window"
prefix=$PWD/$build/wine-prefix
export WINEPREFIX=$prefix
jobs=$(nproc)
timings=()
lap() { # lap NAME COMMAND...: runs it and notes how long it took
    local name=$1 start=$SECONDS
    shift
    "$@"
    timings+=("$name $((SECONDS - start)) s")
}

lap configure cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DKESTRUNE_BUILD_GUI=OFF -DKESTRUNE_BUILD_TESTS=ON -DKESTRUNE_WERROR="${KESTRUNE_WERROR:-OFF}"
lap build cmake --build "$build" -j"$jobs" --target kestrune kestrune_wingui_tests

# A display of its own: Xvfb picks a free number and writes it once ready.
mkdir -p "$prefix"
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
export DISPLAY=:$(head -n1 "$display_file")
# Wine's first program starts the session's desktop: it must see the display.
export KESTRUNE_WINE_KEEP_DISPLAY=1

wine_setup() {
    cmake/wine-run.sh "$prefix"
    # Every window inside one Wine desktop: no window manager needed, and
    # windows appear at once instead of waiting on the X server's answers.
    cmake/wine-run.sh "$prefix" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
    cmake/wine-run.sh "$prefix" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default \
        /d 1024x768 /f
    # The system's dialogs (message boxes) in a face that has Japanese.
    local face
    for face in 'MS Shell Dlg' 'MS Shell Dlg 2' Tahoma; do
        cmake/wine-run.sh "$prefix" reg add 'HKCU\Software\Wine\Fonts\Replacements' \
            /v "$face" /d IPAPGothic /f
    done
}
lap wine-prefix wine_setup >/dev/null
# The settings count for the session's next desktop: restart the session.
wineserver -k 2>/dev/null || true
wineserver -w
wineserver -p

# One Wine process runs every case; -V shows each case's line.
lap window-tests ctest --test-dir "$build/tests/wingui" --timeout 300 -V

echo "wine window stage timings:"
printf '  %s\n' "${timings[@]}"

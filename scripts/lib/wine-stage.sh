# SPDX-License-Identifier: MIT
# Sourced by the Wine test stages, from the repository root: a mingw-w64
# build folder and a Wine prefix of their own, timed steps.
# shellcheck shell=bash

# wine_stage BUILD: sets build, prefix and jobs for the stage.
# shellcheck disable=SC2034 # build, jobs and timings are the stage's
wine_stage() {
    build=$1
    prefix=$PWD/$build/wine-prefix
    export WINEPREFIX=$prefix
    jobs=$(nproc)
    timings=()
    mkdir -p "$prefix"
}

lap() { # lap NAME COMMAND...: runs it and notes how long it took
    local name=$1 start=$SECONDS
    shift
    "$@"
    timings+=("$name $((SECONDS - start)) s")
}

print_timings() { # print_timings TITLE
    echo "$1 timings:"
    printf '  %s\n' "${timings[@]}"
}

configure_mingw() {
    cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
        -DKESTRUNE_BUILD_GUI=OFF -DKESTRUNE_BUILD_TESTS=ON \
        -DKESTRUNE_WERROR="${KESTRUNE_WERROR:-OFF}"
}

# wine_desktop [FACE]: makes the prefix and puts every window inside one
# Wine desktop, so windows are shown at once without waiting on a window
# manager's answers; with FACE the system's dialogs use that face (one with
# Japanese). The session is restarted: the desktop is made once per session.
wine_desktop() {
    local face=${1:-} dialog
    cmake/wine-run.sh "$prefix"
    cmake/wine-run.sh "$prefix" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
    cmake/wine-run.sh "$prefix" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default \
        /d 1024x768 /f
    if [ -n "$face" ]; then
        for dialog in 'MS Shell Dlg' 'MS Shell Dlg 2' Tahoma; do
            cmake/wine-run.sh "$prefix" reg add 'HKCU\Software\Wine\Fonts\Replacements' \
                /v "$dialog" /d "$face" /f
        done
    fi
    wineserver -k 2>/dev/null || true
    wineserver -w
    wineserver -p
}

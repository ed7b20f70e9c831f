#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a Windows program under Wine, headless and quiet, in its own prefix:
#   wine-run.sh PREFIX PROGRAM.exe [ARGS...]
# The prefix is made on first use (a few seconds), once even when several
# runs start together; its log goes to PREFIX.log. Without a program only
# the prefix is made.
set -euo pipefail

prefix=$1
shift

export WINEPREFIX=$prefix
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko install prompts, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Windowed tests keep the X display (Xvfb) they were started with.
[ -n "${KESTRUNE_WINE_KEEP_DISPLAY:-}" ] || unset DISPLAY WAYLAND_DISPLAY

wine=$(command -v wine || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64

if [ ! -e "$prefix/.kestrune-ready" ]; then
    mkdir -p "$(dirname "$prefix")"
    (
        flock 9
        if [ ! -e "$prefix/.kestrune-ready" ]; then
            "$wine" wineboot --init >"$prefix.log" 2>&1
            touch "$prefix/.kestrune-ready"
        fi
    ) 9>"$prefix.lock"
fi
[ $# -gt 0 ] || exit 0

# KESTRUNE_WINE_FSIZE_KIB caps the size of the files the program writes. With
# SIGXFSZ ignored, a write across the cap stores what fits and reports that
# count as success, and the next write fails: Wine passes both on, which is how
# the tests reach a short write.
if [ -n "${KESTRUNE_WINE_FSIZE_KIB:-}" ]; then
    ulimit -f "$KESTRUNE_WINE_FSIZE_KIB"
    trap '' XFSZ
fi

# The first program of a Wine session starts its services, which inherit the
# program's stdout and stderr and outlive it: a caller reading a pipe (CTest,
# the test discovery) would wait for them. So the program writes to files,
# passed on when it ends; its CR LF line ends become LF on the way.
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
status=0
"$wine" "$@" >"$out" 2>"$err" </dev/null || status=$?
tr -d '\r' <"$out"
tr -d '\r' <"$err" >&2
exit "$status"

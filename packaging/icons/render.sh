#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Renders the committed icon images from app/resources/kestrune.svg: the
# hicolor sizes, the window's 2x icon and the Windows .ico. The 32 x 32
# 16-colour image (app/resources/kestrune.png) is drawn by hand and only
# copied into the .ico. Needs librsvg2-bin, imagemagick and fonts-dejavu-core.
set -euo pipefail
cd "$(dirname "$0")/../.."
svg=app/resources/kestrune.svg
render() { rsvg-convert -w "$1" -h "$1" "$svg" -o "$2"; }

for size in 16 24 48 128 256; do
    render "$size" "packaging/icons/kestrune-$size.png"
done
render 64 app/resources/kestrune@2x.png
# The 32 x 32 entry keeps its 16-colour palette (a 4-bit entry in the .ico).
convert packaging/icons/kestrune-16.png \( app/resources/kestrune.png -type palette \) \
    packaging/icons/kestrune-48.png packaging/icons/kestrune-256.png \
    packaging/windows/kestrune.ico

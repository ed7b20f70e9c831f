#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package, validates its desktop entry and AppStream file,
# checks its contents and the Windows resource script, then installs it with
# apt-get, starts the installed program from its menu entry and removes the
# package again (unless it was installed before this stage).
set -euo pipefail
cd "$(dirname "$0")/../.."

id=org.kestrune.Kestrune
fail() {
    echo "package: $*" >&2
    exit 1
}

scripts/package.sh
deb=$(ls build-pkg/kestrune_*.deb)

desktop-file-validate "packaging/$id.desktop"
appstreamcli validate --no-net "packaging/$id.metainfo.xml"

listing=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for path in usr/bin/kestrune "usr/share/applications/$id.desktop" \
    "usr/share/metainfo/$id.metainfo.xml" usr/share/icons/hicolor/scalable/apps/kestrune.svg \
    usr/share/icons/hicolor/32x32/apps/kestrune.png usr/share/doc/kestrune/copyright; do
    grep -qx "\./$path" <<<"$listing" || fail "$path missing from $deb"
done
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "no Qt dependency declared"

# The .rc is only built on Windows; the cross tools check that it compiles.
if command -v x86_64-w64-mingw32-windres >/dev/null; then
    x86_64-w64-mingw32-windres -I build-pkg/trim/generated -I packaging/windows \
        packaging/windows/kestrune.rc -O coff -o build-pkg/kestrune-rc.o
    echo "package: kestrune.rc compiles"
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
installed_before=no
dpkg-query -W -f='${Status}' kestrune 2>/dev/null | grep -q 'install ok installed' &&
    installed_before=yes
remove() {
    [ "$installed_before" = yes ] || $sudo apt-get remove -y -qq kestrune >/dev/null
}
trap remove EXIT
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "./$deb" >/dev/null
[ "$(dpkg-query -S /usr/bin/kestrune | cut -d: -f1)" = kestrune ] ||
    fail "/usr/bin/kestrune is not the package's"
desktop-file-validate "/usr/share/applications/$id.desktop"

# Started as the menu would, it must still be running when the timeout ends it.
read -ra command <<<"$(sed -n 's/^Exec=//p' "/usr/share/applications/$id.desktop")"
status=0
QT_QPA_PLATFORM=offscreen timeout 3 "${command[@]}" || status=$?
[ "$status" -eq 124 ] || fail "installed program exited with $status within 3 s"
echo "package: $(basename "$deb") builds, validates, installs and starts"

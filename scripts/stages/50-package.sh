#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package, checks its SHA256SUMS and runs lintian on it,
# validates its desktop entry and AppStream file, checks its contents, the
# manual pages and the Windows resource script, then installs it with
# apt-get, starts the installed program from its menu entry, reads the
# installed manual pages, completes kestrune-cli's options in bash and removes
# the package again (unless it was installed before this stage).
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=scripts/lib/checksums.sh
. scripts/lib/checksums.sh

id=org.kestrune.Kestrune
fail() {
    echo "package: $*" >&2
    exit 1
}

scripts/package.sh
deb=$(ls build-pkg/kestrune_*.deb)
check_sums build-pkg "$(basename "$deb")"

# Debian's own checks: an error or a warning fails the stage; informational
# tags are shown too (-I), none of them overridden.
lintian -I --fail-on error,warning "$deb"
echo "package: lintian passes $(basename "$deb")"

desktop-file-validate "packaging/$id.desktop"
metainfo=packaging/$id.metainfo.xml
appstreamcli validate --no-net "$metainfo"
# The AppStream file names the package's release, and its screenshots are
# those the README shows.
version=$(dpkg-deb -f "$deb" Version)
grep -q "<release version=\"${version%-*}\" date=\"[0-9-]*\"" "$metainfo" ||
    fail "$metainfo names no release ${version%-*}"
for shot in $(grep -o '](docs/[^)]*)' README.md | tr -d '()]'); do
    grep -q "<image>https://.*/$shot</image>" "$metainfo" || fail "$metainfo lacks $shot"
done

# groff's warnings (font, escape, line length) on stderr; the pages are
# clean. The window's page names its Japanese controls: UTF-8 shows them.
for page in packaging/kestrune.1 packaging/kestrune-cli.1; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page: $warnings"
done
# Every option kestrune-cli's help lists is in its page.
page=packaging/kestrune-cli.1
rendered=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
for option in $(build-pkg/cli/kestrune-cli --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -q -- "$option" <<<"$rendered" || fail "$page does not describe $option"
done

listing=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for path in usr/bin/kestrune usr/bin/kestrune-cli "usr/share/applications/$id.desktop" \
    "usr/share/metainfo/$id.metainfo.xml" usr/share/icons/hicolor/scalable/apps/kestrune.svg \
    usr/share/icons/hicolor/32x32/apps/kestrune.png usr/share/doc/kestrune/copyright \
    usr/share/doc/kestrune/changelog.Debian.gz usr/share/man/man1/kestrune.1.gz \
    usr/share/man/man1/kestrune-cli.1.gz usr/share/bash-completion/completions/kestrune-cli; do
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

# The installed kestrune-cli walks a folder, aligns, hashes and records each
# copy, and restores an original from its record byte for byte.
work=$(mktemp -d)
trap 'rm -rf "$work"; remove' EXIT
mkdir -p "$work/tree/sub"
{ head -c 5000 /dev/urandom; head -c 70000 /dev/zero; } >"$work/tree/sub/a.bin"
{ head -c 3000 /dev/urandom; head -c 9000 /dev/zero; } >"$work/tree/b.bin"
cp "$work/tree/sub/a.bin" "$work/a.orig"
/usr/bin/kestrune-cli -r --align 4K --hash crc32,sha256 --record "$work/tree" 2>"$work/log" ||
    fail "installed kestrune-cli failed: $(cat "$work/log")"
[ "$(stat -c %s "$work/tree/sub/a(KST).bin")" -eq 8192 ] || fail "aligned copy is not 8192 bytes"
grep -q "sha256 input  $(sha256sum <"$work/a.orig" | cut -d' ' -f1)" "$work/log" ||
    fail "installed kestrune-cli's sha256 differs from sha256sum: $(cat "$work/log")"
rm "$work/tree/sub/a.bin"
/usr/bin/kestrune-cli restore "$work/tree/sub/a(KST).bin.kstrec" 2>>"$work/log" ||
    fail "installed restore failed: $(cat "$work/log")"
cmp -s "$work/a.orig" "$work/tree/sub/a.bin" || fail "restored file differs from the original"

# The installed pages are found by name and render without warnings.
shown=$(MANWIDTH=80 man kestrune-cli) || fail "man kestrune-cli failed"
grep -q 'kestrune-cli restore' <<<"$shown" || fail "man kestrune-cli shows no page: $shown"
for name in kestrune kestrune-cli; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings "$name" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $name: $warnings"
done

# The completion loads in bash and offers the options and the fill values.
# shellcheck disable=SC2016 # expanded by the inner bash
completed=$(bash -c '
    [ -r /usr/share/bash-completion/bash_completion ] && . /usr/share/bash-completion/bash_completion
    . /usr/share/bash-completion/completions/kestrune-cli
    complete -p kestrune-cli >/dev/null || exit 1
    complete_line() {
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
        _kestrune_cli
        echo "${COMPREPLY[*]}"
    }
    complete_line kestrune-cli --
    complete_line kestrune-cli --fill ""
') || fail "the bash completion does not load"
for word in --recursive --skip-existing --align --hash --record 0x00 0xFF auto; do
    grep -qw -- "$word" <<<"$completed" || fail "bash completion misses $word: $completed"
done
echo "package: $(basename "$deb") builds, validates, installs and starts; its CLI trims," \
    "records and restores; its manual pages and bash completion work"

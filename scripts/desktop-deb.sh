#!/usr/bin/env bash
# Packs the Linux desktop program as reef-tools_<version>_amd64.deb: the program in
# /usr/lib/reef-tools, the starter /usr/bin/reef-tools that runs it in the player's folder,
# the menu entry "Reef - Tools" with its icon. The library dependencies are read off the
# program; the font its look is made for and xdg-open (the text editor) come on top. The same
# inputs give the same bytes (SOURCE_DATE_EPOCH, else the time of the last commit).
# Usage: desktop-deb.sh PROGRAM VERSION OUTPUT_DIR   (prints the path of the package)
set -euo pipefail
if [ $# -ne 3 ]; then
    echo "usage: $0 PROGRAM VERSION OUTPUT_DIR" >&2
    exit 2
fi
program=$1
version=$2
out_dir=$3
root=$(cd "$(dirname "$0")/.." && pwd)
[ -f "$program" ] || {
    echo "desktop-deb: no such file: $program" >&2
    exit 1
}
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree=$work/tree
install -d "$tree/DEBIAN" "$tree/usr/bin" "$tree/usr/lib/reef-tools" \
    "$tree/usr/share/applications" "$tree/usr/share/icons/hicolor/32x32/apps" \
    "$tree/usr/share/doc/reef-tools"
install -m 755 --strip-program=strip -s "$program" "$tree/usr/lib/reef-tools/reef-tools"
install -m 755 "$root/res/linux/reef-tools.sh" "$tree/usr/bin/reef-tools"
install -m 644 "$root/res/linux/reef-tools.desktop" "$tree/usr/share/applications/"
python3 "$root/scripts/ico-to-png.py" "$root/res/ReefTools.ico" \
    "$tree/usr/share/icons/hicolor/32x32/apps/reef-tools.png"
chmod 644 "$tree/usr/share/icons/hicolor/32x32/apps/reef-tools.png"
printf 'Reef - Tools %s, the desktop program for the players of Korallin.\n' "$version" |
    gzip -9n >"$tree/usr/share/doc/reef-tools/changelog.gz"

# dpkg-shlibdeps reads the package's name from a debian/control beside it.
mkdir -p "$work/src/debian"
printf 'Source: reef-tools\n\nPackage: reef-tools\nArchitecture: any\n' >"$work/src/debian/control"
libraries=$(cd "$work/src" && dpkg-shlibdeps -O "$tree/usr/lib/reef-tools/reef-tools" 2>/dev/null |
    sed -n 's/^shlibs:Depends=//p')
[ -n "$libraries" ] || {
    echo "desktop-deb: no library dependencies found for $program" >&2
    exit 1
}
size=$(du -sk --exclude=DEBIAN "$tree" | cut -f1)
cat >"$tree/DEBIAN/control" <<CONTROL
Package: reef-tools
Version: $version
Architecture: amd64
Maintainer: Reef - Tools maintainers <maintainers@reef-tools.invalid>
Installed-Size: $size
Depends: $libraries, fonts-liberation, adwaita-icon-theme, xdg-utils
Section: games
Priority: optional
Description: tools for the players of the browser game Korallin
 ETA plans, fleet distribution, attack limits and the allied and enemy fleet
 lists an alliance shares through its list server, with notifications of new
 attacks. The menu entry "Reef - Tools" starts the program in the folder
 ~/.local/share/reef-tools, where the alliance's Server.dat belongs.
CONTROL
find "$tree" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
mkdir -p "$out_dir"
deb=$out_dir/reef-tools_${version}_amd64.deb
dpkg-deb --root-owner-group -Zxz --build "$tree" "$deb" >/dev/null
echo "$deb"

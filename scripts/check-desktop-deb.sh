#!/usr/bin/env bash
# Shows the desktop program's Debian package on a fresh Debian 12: the minimal Debian 12 tree
# of check-deb.sh (made once with debootstrap, kept in build/deb-check), `apt install
# ./reef-tools_*.deb` in it, then "Reef - Tools" started from its menu entry by a player
# account there (`gio launch` of the installed .desktop file, as a desktop's menu does), on a
# private Xvfb display of this machine. Prints what it saw, with a screenshot of the display
# (build/deb-check/reef-tools-started.png); needs root.
# Usage: bash scripts/check-desktop-deb.sh [PATH/TO/reef-tools_*.deb]
set -euo pipefail
cd "$(dirname "$0")/.."
root_dir=$(pwd)
packages=(build/release/reef-tools_*_amd64.deb)
deb=${1:-${packages[-1]}}
[ -f "$deb" ] || {
    echo "No package: run bash scripts/release.sh first, or name the .deb." >&2
    exit 1
}
. scripts/packages.sh
reef_install_packages debootstrap xvfb xdotool imagemagick

work=$root_dir/build/deb-check
fresh=$work/debian12-fresh.tar
tree=$work/debian12-desktop
mkdir -p "$work"
if [ ! -f "$fresh" ]; then
    echo "Making a minimal Debian 12 tree (log: $work/debootstrap.log)"
    rm -rf "$work/debian12"
    debootstrap --variant=minbase bookworm "$work/debian12" http://deb.debian.org/debian \
        >"$work/debootstrap.log" 2>&1
    tar -C "$work/debian12" -cf "$fresh" .
    rm -rf "$work/debian12"
fi
rm -rf "$tree"
mkdir "$tree"
tar -C "$tree" -xf "$fresh"

display_number=$((200 + RANDOM % 200))
xvfb_pid=
cleanup() {
    umount "$tree/tmp/.X11-unix" "$tree/dev" "$tree/proc" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
cp /etc/resolv.conf "$tree/etc/resolv.conf"
mount -t proc proc "$tree/proc"
mount --bind /dev "$tree/dev"
in_tree() {
    chroot "$tree" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"
}

cp "$deb" "$tree/root/"
echo "== apt install ./$(basename "$deb") (log: $work/desktop-apt.log)"
# gio is what launches a menu entry on a GNOME-like desktop; it is not part of the package.
in_tree sh -c "apt-get update -qq && apt-get install -y ./root/$(basename "$deb") libglib2.0-bin" \
    >"$work/desktop-apt.log" 2>&1 || {
    tail -n 20 "$work/desktop-apt.log"
    exit 1
}
grep -E '^(Setting up|Unpacking) reef-tools' "$work/desktop-apt.log" | sed 's/^/-- /'
echo "-- menu entry: $(in_tree sh -c 'grep -E "^(Name|Exec|Icon)=" /usr/share/applications/reef-tools.desktop | tr "\n" " "')"
echo "-- icon: $(in_tree ls -l /usr/share/icons/hicolor/32x32/apps/reef-tools.png)"
in_tree useradd --create-home --shell /bin/sh spieler

Xvfb ":$display_number" -screen 0 1024x768x24 -nolisten tcp >"$work/desktop-xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
    [ -S "/tmp/.X11-unix/X$display_number" ] && break
    sleep 0.1
done
mkdir -p "$tree/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$tree/tmp/.X11-unix"

echo "== gio launch /usr/share/applications/reef-tools.desktop (as the user spieler)"
in_tree runuser -u spieler -- env HOME=/home/spieler DISPLAY=":$display_number" \
    gio launch /usr/share/applications/reef-tools.desktop >"$work/desktop-launch.log" 2>&1 &
window=
for _ in $(seq 100); do
    window=$(DISPLAY=":$display_number" xdotool search --name '^Reef - Tools' 2>/dev/null | head -n 1) &&
        [ -n "$window" ] && break
    sleep 0.2
done
sleep 1
DISPLAY=":$display_number" import -window root "$work/reef-tools-started.png"
program_pid=$(pgrep -f "^/usr/lib/reef-tools/reef-tools" | head -n 1 || true)
if [ -n "$window" ]; then
    echo "-- window: \"$(DISPLAY=":$display_number" xdotool getwindowname "$window")\""
else
    echo "-- no window appeared"
fi
echo "-- process: $( [ -n "$program_pid" ] && echo "$program_pid, working folder $(readlink "/proc/$program_pid/cwd" | sed "s|^$tree||")" || echo none)"
echo "-- files in the player's folder: $(in_tree ls /home/spieler/.local/share/reef-tools | tr '\n' ' ')"
echo "-- screenshot: $work/reef-tools-started.png"
[ -z "$program_pid" ] || kill "$program_pid"
sleep 0.5
cat "$work/desktop-launch.log"
echo "== apt purge reef-tools"
in_tree apt-get purge -y reef-tools 2>&1 | grep -v "Can not write log" | tail -n 1
echo "-- program: $(in_tree sh -c 'ls /usr/lib/reef-tools 2>/dev/null || echo gone'), menu entry: $(in_tree sh -c 'ls /usr/share/applications/reef-tools.desktop 2>/dev/null || echo gone')"
[ -n "$window" ] && echo "== end"

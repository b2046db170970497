#!/usr/bin/env bash
# Shows the list server's Debian package on a fresh Debian 12: makes a minimal Debian 12 tree
# with debootstrap (once; kept in build/deb-check), boots it with systemd-nspawn without a
# network of its own, runs `apt install ./reef-listserver_*.deb` there under a running
# systemd, adds an alliance, stores an entry and answers an Update on port 80, restarts the
# service, then purges the package. Prints what it saw; needs root.
# Usage: bash scripts/check-deb.sh [PATH/TO/reef-listserver_*.deb]
set -euo pipefail
cd "$(dirname "$0")/.."
root_dir=$(pwd)
packages=(build/release/reef-listserver_*_amd64.deb)
deb=${1:-${packages[-1]}}
[ -f "$deb" ] || {
    echo "No package: run bash scripts/release.sh first, or name the .deb." >&2
    exit 1
}
. scripts/packages.sh
reef_install_packages debootstrap systemd-container

work=$root_dir/build/deb-check
fresh=$work/debian12-fresh.tar
tree=$work/debian12
mkdir -p "$work"
if [ ! -f "$fresh" ]; then
    echo "Making a minimal Debian 12 tree (log: $work/debootstrap.log)"
    rm -rf "$tree"
    debootstrap --variant=minbase bookworm "$tree" http://deb.debian.org/debian >"$work/debootstrap.log" 2>&1
    tar -C "$tree" -cf "$fresh" .
fi
rm -rf "$tree"
mkdir "$tree"
tar -C "$tree" -xf "$fresh"

# The booted system has no network: systemd, and the libraries the package names, come in
# beforehand, so that apt only installs the package itself.
depends=$(dpkg-deb -f "$deb" Depends | sed -e 's/([^)]*)//g' -e 's/,/ /g')
cp /etc/resolv.conf "$tree/etc/resolv.conf"
mount -t proc proc "$tree/proc"
mount --bind /dev "$tree/dev"
unmount() { umount "$tree/dev" "$tree/proc" 2>/dev/null || true; }
trap unmount EXIT
echo "Adding systemd and $depends (log: $work/apt.log)"
# shellcheck disable=SC2086 # one word per package
chroot "$tree" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
    sh -c "apt-get update -qq && apt-get install -y -qq systemd systemd-sysv dbus curl $depends" \
    >"$work/apt.log" 2>&1
unmount
trap - EXIT

cp "$deb" "$tree/root/"
cat >"$tree/root/check.sh" <<INNER
#!/bin/sh
# Runs once when the tree boots, then powers it off.
exec >/root/check.log 2>&1
cd /root
echo "== apt install ./$(basename "$deb")"
DEBIAN_FRONTEND=noninteractive apt-get install -y ./$(basename "$deb") | tail -n 3
echo "-- enabled: \$(systemctl is-enabled reef-listserver), active: \$(systemctl is-active reef-listserver)"
echo "-- user: \$(getent passwd reef)"
echo "-- state folder: \$(ls -ld /var/lib/reef-listserver)"
systemctl status reef-listserver --no-pager | head -n 5
echo "== alliance"
echo 'Probe-Passwort-7' | runuser -u reef -- reef-listserver alliance add Korallen \\
    --db /var/lib/reef-listserver/reef-lists.sqlite --public-address 127.0.0.1
q='http://127.0.0.1/Reef-Update.php?Info1=Probe-Passwort-7&Info2=Reef_Frend'
echo "-- New:    \$(curl -s "\$q&Info3=New&Hilfe=3&Name=Paul&Basis=7:7:7&Schiffe=20&Modus=1&ZielName=Otto&ZielBasis=8:8:8&BasisZeit=3600")"
echo "-- Update: \$(curl -s "\$q&Info3=Update")"
echo "== after systemctl restart"
systemctl restart reef-listserver
sleep 1
echo "-- Update: \$(curl -s "\$q&Info3=Update")"
echo "== journal"
journalctl -u reef-listserver --no-pager | tail -n 5
echo "== apt purge reef-listserver"
DEBIAN_FRONTEND=noninteractive apt-get purge -y reef-listserver | tail -n 1
echo "-- active: \$(systemctl is-active reef-listserver), user: \$(getent passwd reef || echo gone), state folder: \$(ls -d /var/lib/reef-listserver 2>/dev/null || echo gone)"
echo "-- port 80: \$(curl -s -m 2 http://127.0.0.1/ || echo no answer)"
echo "== end"
systemctl poweroff
INNER
chmod +x "$tree/root/check.sh"
cat >"$tree/etc/systemd/system/reef-check.service" <<'INNER'
[Unit]
Description=check of the reef-listserver package
After=multi-user.target

[Service]
Type=oneshot
ExecStart=/root/check.sh

[Install]
WantedBy=multi-user.target
INNER
ln -s /etc/systemd/system/reef-check.service "$tree/etc/systemd/system/multi-user.target.wants/"

echo "Booting Debian 12 with systemd-nspawn (log: $work/boot.log)"
# --keep-unit and --register=no: no systemd of this machine is asked for anything.
timeout 600 systemd-nspawn -q -D "$tree" --boot --private-network --register=no --keep-unit \
    --console=pipe >"$work/boot.log" 2>&1 || true
cat "$tree/root/check.log"
grep -q '^== end' "$tree/root/check.log"

#!/usr/bin/env bash
# The fleet lists of the real ReefTools.exe under Wine against the real reef-listserver on a
# free port, named in "Server.dat": open both lists and answer the password prompt, add an
# allied and an enemy entry through the dialogs, change one, download and read the rows
# back, take a screenshot, end the program, start it again and find rows and password in the
# cache files. Arguments: fleet_lists_probe and ReefTools.exe (Linux paths), and the folder
# for the screenshot. Needs DISPLAY and WINEPREFIX.
set -u
here=$(dirname "$0")
probe=$(winepath -w "$1")
exe=$(winepath -w "$2")
shots=${3:-}
work=$(mktemp -d)
app="$work/app"
mkdir -p "$app"
windir=$(winepath -w "$app")
status=0
. "$here/list_server_peers.sh"

finish() {
    if [ "$status" -ne 0 ]; then
        wineserver -k 2>/dev/null
        echo "-- list server log:"
        tail -n 20 "$work/listserver.log"
    fi
    stop_peers
    rm -rf "$work"
    echo "fleet lists under Wine: $([ "$status" -eq 0 ] && echo passed || echo FAILED)"
    exit "$status"
}
trap finish EXIT

step() {
    echo "== $*"
    local code=0
    wine "$probe" "$1" "$windir" "${@:2}" || code=$?
    if [ "$code" -ne 0 ]; then
        # A probe that fails says why; one that ends otherwise (a crash) is named here.
        echo "FAIL: step \"$1\" ended with exit code $code"
        status=1
    fi
}

start_list_server || { status=1; exit; }
write_server_dat "$app" localhost "$list_port"

echo "== start"
wine "$probe" start "$exe" "$windir" || { status=1; exit; }
step open allied "$list_password"
step open enemy
step add allied
step add enemy
step download allied
step rows allied
step download enemy
step balloon "Neue gegnerische Flotte: "
step rows enemy
step change
step download allied
step rows allied
if [ -n "$shots" ]; then
    mkdir -p "$shots"
    import -window root "$shots/fleet-lists.png" && echo "screenshot: $shots/fleet-lists.png"
    step scroll allied
    step scroll enemy
    import -window root "$shots/fleet-lists-right.png" && echo "screenshot: $shots/fleet-lists-right.png"
fi
step quit

for file in tblFrend.dat tblEnemy.dat; do
    if [ -s "$app/$file" ] && grep -qaF "$list_password"$'\r' "$app/$file"; then
        echo "ok: $file holds the password"
    else
        echo "FAIL: $file missing or without the password"
        status=1
    fi
done

echo "== start again"
wine "$probe" start "$exe" "$windir" || { status=1; exit; }
step open allied
step open enemy
step rows allied
step rows enemy
step download allied
step rows allied
step quit

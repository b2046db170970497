#!/usr/bin/env bash
# The real ReefTools.exe under Wine at the end of the Windows session: it consents, ends by
# itself with exit code 0, and writes no cache file while no list window is open.
# Arguments: wine_probe, session_end_probe and ReefTools.exe (Linux paths). Needs DISPLAY and
# WINEPREFIX.
set -u
probe=$(winepath -w "$1")
ender=$(winepath -w "$2")
exe=$(winepath -w "$3")
work=$(mktemp -d)
windir=$(winepath -w "$work")
status=0

finish() {
    if [ "$status" -ne 0 ]; then
        wineserver -k 2>/dev/null
    fi
    rm -rf "$work"
    echo "session end under Wine: $([ "$status" -eq 0 ] && echo passed || echo FAILED)"
    exit "$status"
}
trap finish EXIT

echo "== start"
wine "$probe" start "$exe" "$windir" || { status=1; exit; }
echo "== end of the session"
wine "$ender" end "$windir" || status=1
if [ -e "$work/tblFrend.dat" ] || [ -e "$work/tblEnemy.dat" ]; then
    echo "FAIL: a cache file was written although no list window was open"
    status=1
else
    echo "ok: no cache file without an open list window"
fi

#!/usr/bin/env bash
# The real ReefTools.exe under Wine at the end of the Windows session: it consents, ends by
# itself with exit code 0, rewrites the cache file of the list window that is open (the
# allied one, opened without a password prompt thanks to a prepared cache file) and writes
# none for the list whose window is closed.
# Arguments: wine_probe, session_end_probe, fleet_lists_probe and ReefTools.exe (Linux
# paths). Needs DISPLAY and WINEPREFIX.
set -u
probe=$(winepath -w "$1")
ender=$(winepath -w "$2")
lists=$(winepath -w "$3")
exe=$(winepath -w "$4")
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

echo "== prepared cache file"
wine "$lists" cache "$windir" allied geheim || { status=1; exit; }
# Bare LF after the password and an old date: only a rewrite by the program changes both.
touch -d '2001-02-03 04:05' "$work/tblFrend.dat"
prepared=$(stat -c %Y "$work/tblFrend.dat")
echo "== start"
wine "$probe" start "$exe" "$windir" || { status=1; exit; }
echo "== open the allied list"
wine "$lists" open "$windir" allied || status=1
echo "== end of the session"
wine "$ender" end "$windir" || status=1
if [ "$(stat -c %Y "$work/tblFrend.dat")" -gt "$prepared" ] &&
    [ "$(head -c 12 "$work/tblFrend.dat" | od -An -tx1 | tr -d ' \n')" = "0000000067656865696d0d0a" ]; then
    echo "ok: tblFrend.dat rewritten: interval 0, the password and CR LF"
else
    echo "FAIL: tblFrend.dat not rewritten at the end of the session"
    od -An -tx1 "$work/tblFrend.dat" | head -n 3
    status=1
fi
if [ -e "$work/tblEnemy.dat" ]; then
    echo "FAIL: tblEnemy.dat written although its window was closed"
    status=1
else
    echo "ok: no tblEnemy.dat without an open enemy list window"
fi

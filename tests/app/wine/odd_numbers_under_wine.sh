#!/usr/bin/env bash
# The real ReefTools.exe under Wine against a list server that sends numbers out of every
# range (return times 200000, -10000, 2147483647 and -2147483648, help code 99, mission 7, a
# ship count past 32 bits): every row is shown, the windows go on answering, "Programm
# beenden" ends the program with exit code 0 and the rows are in the cache file. Takes a
# screenshot of the list when a folder for it is given. Arguments: odd_numbers_probe and
# ReefTools.exe (Linux paths), and the folder for the screenshot. Needs DISPLAY and WINEPREFIX.
set -u
probe=$(winepath -w "$1")
exe=$(winepath -w "$2")
shots=${3:-}
work=$(mktemp -d)
status=0
trap 'rm -rf "$work"; echo "odd numbers under Wine: $([ "$status" -eq 0 ] && echo passed || echo FAILED)"; exit "$status"' EXIT

echo "== run"
wine "$probe" run "$exe" "$(winepath -w "$work")" &
probe_pid=$!
# The probe waits for the screenshot once the rows are shown (at most 60 s).
for _ in $(seq 600); do
    [ -e "$work/shown" ] && break
    kill -0 "$probe_pid" 2>/dev/null || break
    sleep 0.1
done
if [ -e "$work/shown" ] && [ -n "$shots" ]; then
    mkdir -p "$shots"
    import -window root "$shots/odd-numbers.png" && echo "screenshot: $shots/odd-numbers.png"
fi
touch "$work/shot"
if ! wait "$probe_pid"; then
    status=1
    wineserver -k 2>/dev/null
fi

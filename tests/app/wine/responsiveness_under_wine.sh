#!/usr/bin/env bash
# The real ReefTools.exe under Wine while a download waits on a silent list server: the main
# window and the other list window go on answering clicks, and "Programm beenden" ends the
# program with exit code 0 without waiting for the network. Prints the measured times.
# Arguments: responsiveness_probe and ReefTools.exe (Linux paths). Needs DISPLAY and
# WINEPREFIX.
set -u
probe=$(winepath -w "$1")
exe=$(winepath -w "$2")
work=$(mktemp -d)
status=0
trap 'rm -rf "$work"; echo "responsiveness under Wine: $([ "$status" -eq 0 ] && echo passed || echo FAILED)"; exit "$status"' EXIT

echo "== run"
if ! wine "$probe" run "$exe" "$(winepath -w "$work")"; then
    status=1
    wineserver -k 2>/dev/null
fi

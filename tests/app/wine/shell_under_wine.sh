#!/usr/bin/env bash
# The real ReefTools.exe under Wine: main window layout, tray tooltip, the ETA plan on the
# clipboard as X11 programs see it, and "Programm beenden" with exit code 0.
# Arguments: the probe executable and ReefTools.exe (Linux paths). Needs DISPLAY and WINEPREFIX.
set -u
probe=$(winepath -w "$1")
exe=$(winepath -w "$2")
work=$(mktemp -d)
windir=$(winepath -w "$work")
status=0

step() {
    echo "== $*"
    wine "$probe" "$@" "$windir" || status=1
}

finish() {
    if [ "$status" -ne 0 ]; then
        # Leave no program behind a failed step: end every process of this Wine prefix.
        wineserver -k 2>/dev/null
    fi
    rm -rf "$work"
    echo "shell under Wine: $([ "$status" -eq 0 ] && echo passed || echo FAILED)"
    exit "$status"
}
trap finish EXIT

echo "== start"
wine "$probe" start "$exe" "$windir" || { status=1; exit; }
step layout
step tooltip
step eta

echo "== clipboard from X11"
xclip -o -selection clipboard >"$work/x11.txt" 2>/dev/null
iconv -f CP1252 -t UTF-8 "$work/clipboard-cf-text.bin" | tr -d '\r' >"$work/expected.txt"
tr -d '\r' <"$work/x11.txt" >"$work/x11-lf.txt"
if [ -s "$work/expected.txt" ] && cmp -s "$work/expected.txt" "$work/x11-lf.txt"; then
    echo "ok: X11 clipboard holds the plan ($(wc -l <"$work/x11-lf.txt") line breaks)"
else
    echo "FAIL: X11 clipboard differs from the plan"
    diff "$work/expected.txt" "$work/x11-lf.txt" | head -n 20
    status=1
fi
if grep -q 'Ziel: Basis Müller' "$work/x11-lf.txt" && [ "$(wc -l <"$work/x11-lf.txt")" -eq 26 ]; then
    echo "ok: 27 lines, umlaut intact"
else
    echo "FAIL: plan lines or umlaut"
    status=1
fi

step quit

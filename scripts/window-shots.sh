#!/usr/bin/env bash
# Opens every window of ReefTools.exe under Wine one after the other and saves a PNG of each,
# so that two builds can be compared picture by picture (scripts/compare-shots.sh):
#   bash scripts/window-shots.sh build/windows/ReefTools.exe OUT_DIR
# Needs DISPLAY (an X server without a window manager, e.g. Xvfb) and WINEPREFIX. The program
# runs in a fresh folder whose Server.dat names a closed local port, so no list is fetched.
set -euo pipefail
exe=$(readlink -f "$1")
out=$(mkdir -p "$2" && readlink -f "$2")
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
printf 'Host = 127.0.0.1\r\nPort = 9\r\n' >"$work/Server.dat"

# The X window of a top-level window with exactly this title, waiting up to 10 s for it.
window_of() {
    local id=""
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n 1) || true
        [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || { echo "no window \"$1\"" >&2; return 1; }
    echo "$id"
}

# Clicks at a point of a window's client area. Without a window manager Wine draws the frame
# into the X window itself: the border is what the width leaves beside the client area, the
# title bar what the height leaves above it.
click_client() { # title client_width client_height x y
    local id geometry w h border top origin
    id=$(window_of "$1")
    geometry=$(xdotool getwindowgeometry "$id")
    origin=$(sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p' <<<"$geometry")
    read -r w h < <(sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p' <<<"$geometry")
    border=$(((w - $2) / 2))
    top=$((h - $3 - border))
    read -r ox oy <<<"$origin"
    xdotool mousemove $((ox + border + $4)) $((oy + top + $5)) click 1
}

shoot() { # title file
    local id
    id=$(window_of "$1")
    sleep 0.7
    import -window "$id" "$out/$2.png"
    echo "$out/$2.png"
}

# Alt+F4 to a window focused by a click on its title bar (no window manager to activate it).
close_window() { # title
    local id x y
    id=$(window_of "$1")
    read -r x y < <(xdotool getwindowgeometry "$id" | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
    xdotool mousemove $((x + 40)) $((y + 8)) click 1
    sleep 0.3
    xdotool key alt+F4
    sleep 0.5
}

cd "$work"
wine "$exe" >/dev/null 2>&1 &
shoot "Reef - Tools" main-window

click_client "Reef - Tools" 200 210 100 17
shoot "Reef - Tools: ETA-Plan" eta-plan
close_window "Reef - Tools: ETA-Plan"

click_client "Reef - Tools" 200 210 100 47
shoot "Reef - Tools: Flottenverteilung" fleet-distribution
close_window "Reef - Tools: Flottenverteilung"

click_client "Reef - Tools" 200 210 100 77
shoot "Reef - Tools: Attgrenze" attack-limit
close_window "Reef - Tools: Attgrenze"

# The first list window asks for the list password; the answer is kept for the second.
click_client "Reef - Tools" 200 210 100 107
sleep 1.5
import -window root "$out/password-prompt.png" && echo "$out/password-prompt.png"
xdotool type --delay 50 "Korallen-Test1"
xdotool key Return
shoot "Reef - Tools: Gegnerische Flotten" enemy-list
click_client "Reef - Tools: Gegnerische Flotten" 640 230 80 190
shoot "Reef - Tools: Gegnerrische Flotten - neuer Eintrag" enemy-dialog
close_window "Reef - Tools: Gegnerrische Flotten - neuer Eintrag"
close_window "Reef - Tools: Gegnerische Flotten"

click_client "Reef - Tools" 200 210 100 137
shoot "Reef - Tools: Verbündete Flotten" allied-list
click_client "Reef - Tools: Verbündete Flotten" 640 230 80 190
shoot "Reef - Tools: Verbündete Flotten - neuer Eintrag" allied-dialog
close_window "Reef - Tools: Verbündete Flotten - neuer Eintrag"
close_window "Reef - Tools: Verbündete Flotten"

close_window "Reef - Tools"
sleep 1.5
import -window root "$out/exit-question.png" && echo "$out/exit-question.png"
xdotool key Return
wait

#!/usr/bin/env bash
# Screenshots of every window of the program, opened with real mouse and keyboard input
# (xdotool) on a private Xvfb display: the native build (build/linux/reef-tools) and the
# Windows build under Wine (build/windows/ReefTools.exe), each window once per build and
# both side by side (side-<window>.png). Also compares the help file both builds write.
# Usage: bash scripts/screenshots.sh [OUTDIR]   (default build/screenshots; BUILDS="native"
# or BUILDS="wine" takes only one build)
# Needs both builds: cmake --build --preset linux --target reef-tools, and
# cmake --build --preset windows --target ReefTools.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${1:-$root/build/screenshots}
mkdir -p "$out"
native=$root/build/linux/reef-tools
exe=$root/build/windows/ReefTools.exe

display=120
while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$display"
export WINEPREFIX="$root/build/screenshots-wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
program=""
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null
    [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null
    kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
sleep 1

# The newest visible window whose name matches, and whose size is not the main window's when
# asked for another one of the same name.
find_window() { # regex [not-this-id]
    local id
    for _ in $(seq 100); do
        for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null | tac); do
            if [ "$id" != "${2:-}" ]; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

# Clicks at client coordinates: Wine draws its own frame around the client area.
click_at() { # id clientWidth clientHeight x y
    local geometry width height border top
    geometry=$(xdotool getwindowgeometry "$1" | sed -n 's/.*Geometry: //p')
    width=${geometry%x*}
    height=${geometry#*x}
    border=$(((width - $2) / 2))
    top=$((height - $3 - border))
    xdotool mousemove --window "$1" $(($4 + border)) $(($5 + top)) click 1
    sleep 0.7
}

shot() { # build name id
    [ -n "$3" ] && import -window "$3" "$out/$1-$2.png" && echo "$out/$1-$2.png"
}

# The title bar's close box; the tool windows open over the main window, so each one is
# closed again once it has been taken. Wine's own frames take Alt+F4 instead.
close_box() { # build id
    [ -n "$2" ] || return 0
    if [ "$1" = wine ]; then
        press "$2" alt+F4
    else
        python3 scripts/close-window.py "$2"
        sleep 0.7
    fi
}

# A key typed into the window, which gets the keyboard focus first.
press() { # id key
    xdotool windowfocus --sync "$1" 2>/dev/null
    xdotool key "$2"
    sleep 0.7
}

run_build() { # build command...
    local build=$1
    shift
    rm -rf "${work:?}/$build"
    mkdir -p "$work/$build/bin"
    # The help button hands its file to the editor; this one only leaves it there.
    printf '#!/bin/sh\nexit 0\n' >"$work/$build/bin/xdg-open"
    chmod +x "$work/$build/bin/xdg-open"
    (cd "$work/$build" && PATH="$work/$build/bin:$PATH" exec "$@") >"$work/$build.log" 2>&1 &
    program=$!
    local main list box tool
    main=$(find_window '^Reef - Tools$') || { echo "$build: no main window"; return 1; }
    sleep 0.5
    shot "$build" main "$main"
    click_at "$main" 200 210 100 17
    tool=$(find_window 'ETA-Plan$')
    shot "$build" eta-plan "$tool"
    close_box "$build" "$tool"
    click_at "$main" 200 210 100 47
    tool=$(find_window 'Flottenverteilung$')
    shot "$build" fleet-distribution "$tool"
    close_box "$build" "$tool"
    click_at "$main" 200 210 100 77
    tool=$(find_window 'Attgrenze$')
    shot "$build" attack-limit "$tool"
    close_box "$build" "$tool"
    for kind in allied enemy; do
        if [ "$kind" = allied ]; then
            click_at "$main" 200 210 100 137
            list=$(find_window 'Verbündete Flotten$')
        else
            click_at "$main" 200 210 100 107
            list=$(find_window 'Gegnerische Flotten$')
        fi
        # The allied list asks for the list password first.
        if box=$(find_window '^Reef - Tools$' "$main"); then
            shot "$build" "$kind-password" "$box"
            press "$box" Escape
        fi
        shot "$build" "$kind-list" "$list"
        click_at "$list" 640 230 80 190
        if box=$(find_window 'Eintrag$'); then
            shot "$build" "$kind-entry" "$box"
            close_box "$build" "$box"
        fi
        close_box "$build" "$list"
    done
    click_at "$main" 200 210 181 190 # "?": writes the help file
    cp "$work/$build/Readme.txt" "$out/$build-Readme.txt" 2>/dev/null
    close_box "$build" "$main" # the program asks first
    if box=$(find_window '^Reef - Tools$' "$main"); then
        shot "$build" quit-question "$box"
    fi
    kill "$program" 2>/dev/null
    wait "$program" 2>/dev/null
    program=""
    [ "$build" = wine ] && wineserver -k 2>/dev/null
    return 0
}

builds=${BUILDS:-native wine}
if [[ " $builds " == *" native "* ]]; then
    run_build native "$native"
fi
if [[ " $builds " == *" wine "* ]]; then
    if [ ! -d "$WINEPREFIX" ]; then
        wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
    run_build wine wine "$exe"
fi

for file in "$out"/native-*.png; do
    name=${file##*/native-}
    [ -f "$out/wine-$name" ] &&
        convert "$file" "$out/wine-$name" -background black -splice 10x0 +append "$out/side-$name"
done
if [ -f "$out/native-Readme.txt" ] && [ -f "$out/wine-Readme.txt" ]; then
    if cmp -s "$out/native-Readme.txt" "$out/wine-Readme.txt"; then
        echo "Readme.txt: the same bytes from both builds ($(wc -c <"$out/native-Readme.txt") bytes)"
    else
        echo "Readme.txt: the builds wrote different bytes"
    fi
fi

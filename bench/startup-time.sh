#!/usr/bin/env bash
# Start-up time of the program on this machine: from starting the process until its main
# window is on the screen, on a private Xvfb display; five runs of each build after one
# run that warms the caches, and their median. Builds: the native one (build/linux/
# reef-tools, GTK) and the Windows one under Wine (build/windows/ReefTools.exe), the latter
# once with its wineserver already running (as for every start but the first of a session)
# and once with a cold wineserver.
# Usage: bash bench/startup-time.sh [RUNS]
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${1:-5}
native=$root/build/linux/reef-tools
exe=$root/build/windows/ReefTools.exe

display=130
while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$display"
export WINEPREFIX="$root/build/bench-wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
cleanup() {
    [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null
    kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
sleep 1

# Milliseconds from the start of the command until a visible window "Reef - Tools" exists.
time_start() { # command...
    local start now pid
    rm -rf "${work:?}/run" && mkdir -p "$work/run"
    start=$(date +%s%N)
    (cd "$work/run" && exec "$@") >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 3000); do
        if xdotool search --onlyvisible --name '^Reef - Tools$' >/dev/null 2>&1; then
            now=$(date +%s%N)
            kill "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
            echo $(((now - start) / 1000000))
            return 0
        fi
        sleep 0.005
    done
    kill "$pid" 2>/dev/null
    echo "timeout"
    return 1
}

median() {
    printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'
}

measure() { # label before-each command...
    local label=$1 before=$2
    shift 2
    local times=() t
    $before
    time_start "$@" >/dev/null # warms the caches
    for _ in $(seq "$runs"); do
        $before
        t=$(time_start "$@") || { echo "$label: did not start"; return 1; }
        times+=("$t")
        while xdotool search --onlyvisible --name '^Reef - Tools' >/dev/null 2>&1; do sleep 0.05; done
    done
    printf '%-34s median %5s ms   runs: %s\n' "$label" "$(median "${times[@]}")" "${times[*]}"
}

nothing() { :; }
cold_wine() { wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; }
warm_wine() { wineserver -p 2>/dev/null; }

if [ -x "$native" ]; then
    measure "native (GTK)" nothing "$native"
else
    echo "no $native (cmake --build --preset linux --target reef-tools)"
fi
if [ -f "$exe" ]; then
    if [ ! -d "$WINEPREFIX" ]; then
        wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    measure "Windows build, wineserver running" warm_wine wine "$exe"
    measure "Windows build, cold wineserver" cold_wine wine "$exe"
else
    echo "no $exe (cmake --build --preset windows --target ReefTools)"
fi

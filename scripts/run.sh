#!/usr/bin/env bash
# Builds Reef - Tools and a local list server, starts the server with a demo alliance (its
# password is printed) and the program under Wine on the current X display. The server stops
# when the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
if [ -z "${DISPLAY:-}" ]; then
    echo "No display: set DISPLAY to an X server (for example: Xvfb :1 & export DISPLAY=:1) to run Reef - Tools." >&2
    exit 1
fi
. scripts/packages.sh
reef_install_packages "${REEF_BUILD_PACKAGES[@]}" "${REEF_RUN_PACKAGES[@]}"

server_address=127.0.0.1:8080
mkdir -p build/run
echo "Building the list server and the program (log: build/build-run.log)"
{
    cmake --preset native-release &&
        cmake --build --preset native-release -j"$(nproc)" --target reef-listserver &&
        cmake --preset windows -DREEF_LIST_SERVER="$server_address" &&
        cmake --build --preset windows -j"$(nproc)" --target ReefTools
} >build/build-run.log 2>&1 || { tail -n 40 build/build-run.log; exit 1; }

build/native-release/listserver/reef-listserver serve --listen "$server_address" \
    --db build/run/demo-lists.sqlite --demo >build/run/listserver.log 2>&1 &
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null' EXIT
# The server prints the demo alliance's password when it is ready.
for _ in $(seq 100); do
    grep -q 'list password' build/run/listserver.log 2>/dev/null && break
    kill -0 "$server_pid" 2>/dev/null || { cat build/run/listserver.log; exit 1; }
    sleep 0.1
done
grep 'list password' build/run/listserver.log || true
echo "List server on $server_address (log: build/run/listserver.log)"

export WINEPREFIX="${WINEPREFIX:-$root/build/run-wineprefix}" WINEDEBUG=-all
# The program keeps its files in its working directory.
cd build/run
wine "$root/build/windows/ReefTools.exe" "$@"

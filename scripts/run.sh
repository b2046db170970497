#!/usr/bin/env bash
# Builds Reef - Tools and starts it under Wine on the current X display.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
if [ -z "${DISPLAY:-}" ]; then
    echo "No display: set DISPLAY to an X server (for example: Xvfb :1 & export DISPLAY=:1) to run Reef - Tools." >&2
    exit 1
fi
. scripts/packages.sh
reef_install_packages "${REEF_BUILD_PACKAGES[@]}" "${REEF_RUN_PACKAGES[@]}"

mkdir -p build
cmake --preset windows >build/build-windows.log 2>&1
cmake --build --preset windows -j"$(nproc)" --target ReefTools >>build/build-windows.log 2>&1 ||
    { tail -n 40 build/build-windows.log; exit 1; }

export WINEPREFIX="${WINEPREFIX:-$root/build/run-wineprefix}" WINEDEBUG=-all
# The program keeps its files in its working directory.
mkdir -p build/run
cd build/run
exec wine "$root/build/windows/ReefTools.exe" "$@"

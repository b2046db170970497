#!/usr/bin/env bash
# Benchmark (not a test: it prints figures, it asserts nothing): the time to write both fleet
# list cache files with 2000 entries each, as the program does when the Windows session ends.
#
# Usage: scripts/list-cache-bench.sh [ROUNDS]
#   WINE=1 also runs the Windows build under Wine (needs build/windows configured, and a
#   DISPLAY and WINEPREFIX as in the README).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
ROUNDS=${1:-20}

cd "$ROOT"
cmake --preset native-release >/dev/null
cmake --build --preset native-release --target list_cache_bench -j2 >/dev/null
echo "native (Linux, optimised):"
build/native-release/tests/fleetlists/list_cache_bench "$ROUNDS"

if [ "${WINE:-0}" = 1 ]; then
    cmake --build --preset windows --target list_cache_bench -j2 >/dev/null
    echo "Windows build under Wine:"
    wine build/windows/tests/fleetlists/list_cache_bench.exe "$ROUNDS"
fi

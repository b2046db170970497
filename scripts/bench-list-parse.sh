#!/usr/bin/env bash
# Benchmark of the download's list parsing (not a test: it prints figures, it asserts nothing):
# parse + sort of a 2000-entry list body next to a plain byte scan of the same body, and the
# 4000-entry figure to show that the work grows linearly.
#
# Usage: scripts/bench-list-parse.sh   (builds the native-release preset's target if needed)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build/native-release}

cd "$ROOT"
[ -f "$BUILD_DIR/CMakeCache.txt" ] || cmake --preset native-release -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" -j2 --target bench_list_parse >/dev/null
"$BUILD_DIR/bench/bench_list_parse"

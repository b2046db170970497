#!/usr/bin/env bash
# Fuzzes reef-listserver's request handling (query parsing, decoding, the checks of every
# value, the database) with libFuzzer under AddressSanitizer and UBSan, then replays the seeds.
# A finding is written as crash-*/leak-*/timeout-* into the working folder; turn it into a
# test of its own under tests/listserver before fixing it.
#
# Usage: scripts/listserver-fuzz.sh [SECONDS]    (default 600; the test command runs 10)
# Settings: BUILD_DIR (default build/fuzz), CORPUS (a folder that keeps what the run found,
#           default a temporary one seeded from tests/listserver/fuzz/corpus).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
SECONDS_TO_RUN=${1:-600}
BUILD_DIR=${BUILD_DIR:-$ROOT/build/fuzz}
SEEDS=$ROOT/tests/listserver/fuzz/corpus

# shellcheck source=packages.sh
source "$ROOT/scripts/packages.sh"
if [ "$(id -u)" = 0 ]; then
    reef_install_packages clang libclang-rt-14-dev libmicrohttpd-dev libsqlite3-dev \
        libsodium-dev libcurl4-openssl-dev nlohmann-json3-dev pkg-config cmake make googletest
fi

(cd "$ROOT" && cmake --preset fuzz -B "$BUILD_DIR" >/dev/null &&
    cmake --build "$BUILD_DIR" -j2 --target listserver_request_fuzzer >/dev/null)

CORPUS=${CORPUS:-}
WORK=
if [ -z "$CORPUS" ]; then
    WORK=$(mktemp -d /tmp/reef-listserver-fuzz-XXXXXX)
    trap 'rm -rf "$WORK"' EXIT
    CORPUS=$WORK/corpus
fi
mkdir -p "$CORPUS"
cp -n "$SEEDS"/* "$CORPUS"/

"$BUILD_DIR/tests/listserver/fuzz/listserver_request_fuzzer" -max_total_time="$SECONDS_TO_RUN" \
    -dict="$ROOT/tests/listserver/fuzz/request.dict" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$CORPUS"

#!/usr/bin/env bash
# Fuzzes the readers of untrusted bytes with libFuzzer under AddressSanitizer and UBSan: the
# program's answer readers (download, submission, proxy), its file readers (settings, list
# cache, fleet files), and reef-listserver's request handling and the browser page's JSON
# entries on a temporary database. Each target starts from its seeds in the repository and
# runs for a bounded time; the last line of each run names the executions and the coverage
# reached.
#
# Usage: scripts/fuzz.sh [TARGET|all] [SECONDS]       (default: all, 600 s each)
# Targets: download_answer submission_answer proxy_answer settings_file list_cache fleet_file
#          listserver_request listserver_entry_body
# Settings: BUILD_DIR (default build/fuzz); FUZZ_JOBS (targets run at once, default 1; each
#           at nice 19); CORPUS_ROOT (a folder that keeps what the runs found, one subfolder
#           per target; default temporary ones); FINDINGS (where crash-*/leak-*/timeout-*
#           files go, default build/fuzz/findings). Logs go to build/fuzz/logs. A finding
#           becomes a seed in the target's corpus folder and a test of its own before it is
#           fixed.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
ALL_TARGETS=(download_answer submission_answer proxy_answer settings_file list_cache fleet_file
    listserver_request listserver_entry_body)
TARGET=${1:-all}
SECONDS_TO_RUN=${2:-600}
BUILD_DIR=${BUILD_DIR:-$ROOT/build/fuzz}
FUZZ_JOBS=${FUZZ_JOBS:-1}
FINDINGS=${FINDINGS:-$BUILD_DIR/findings}
LOGS=$BUILD_DIR/logs

if [ "$TARGET" = all ]; then
    targets=("${ALL_TARGETS[@]}")
else
    case " ${ALL_TARGETS[*]} " in
    *" $TARGET "*) targets=("$TARGET") ;;
    *)
        echo "unknown fuzz target '$TARGET'; one of: ${ALL_TARGETS[*]}" >&2
        exit 2
        ;;
    esac
fi

# shellcheck source=packages.sh
source "$ROOT/scripts/packages.sh"
if [ "$(id -u)" = 0 ]; then
    reef_install_packages clang libclang-rt-14-dev libmicrohttpd-dev libsqlite3-dev \
        libsodium-dev libcurl4-openssl-dev nlohmann-json3-dev libpq-dev pkg-config cmake ninja-build googletest
fi

binaries=()
for target in "${targets[@]}"; do
    binaries+=("${target}_fuzzer")
done
(cd "$ROOT" && cmake --preset fuzz -B "$BUILD_DIR" >/dev/null &&
    cmake --build "$BUILD_DIR" -j2 --target "${binaries[@]}" >/dev/null)

WORK=$(mktemp -d /tmp/reef-fuzz-XXXXXX)
trap 'rm -rf "$WORK"' EXIT

seeds_of() {
    if [ "$1" = listserver_request ]; then
        echo "$ROOT/tests/listserver/fuzz/corpus"
    elif [ "$1" = listserver_entry_body ]; then
        echo "$ROOT/tests/listserver/fuzz/entry_corpus"
    else
        echo "$ROOT/tests/fuzz/corpus/$1"
    fi
}

binary_of() {
    if [ "$1" = listserver_request ] || [ "$1" = listserver_entry_body ]; then
        echo "$BUILD_DIR/tests/listserver/fuzz/$1_fuzzer"
    else
        echo "$BUILD_DIR/tests/fuzz/$1_fuzzer"
    fi
}

options_of() {
    case "$1" in
    listserver_request)
        echo "-dict=$ROOT/tests/listserver/fuzz/request.dict -max_len=4096"
        ;;
    listserver_entry_body)
        echo "-dict=$ROOT/tests/listserver/fuzz/entry_body.dict -max_len=16384"
        ;;
    download_answer | list_cache)
        echo "-max_len=16384"
        ;;
    *)
        echo "-max_len=4096"
        ;;
    esac
}

# One target: its own corpus folder (seeded), its log, and one summary line.
run_one() {
    local target=$1 corpus log status=0
    corpus=${CORPUS_ROOT:+$CORPUS_ROOT/$target}
    corpus=${corpus:-$WORK/$target}
    log=$LOGS/$target.log
    mkdir -p "$corpus" "$FINDINGS/$target" "$LOGS"
    cp -n "$(seeds_of "$target")"/* "$corpus"/
    # shellcheck disable=SC2046
    nice -n 19 "$(binary_of "$target")" -max_total_time="$SECONDS_TO_RUN" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$FINDINGS/$target/" \
        $(options_of "$target") "$corpus" >"$log" 2>&1 || status=$?
    local done_line execs
    done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 || true)
    execs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$log" | tail -n 1)
    if [ "$status" -ne 0 ]; then
        tail -n 40 "$log"
        echo "$target: FINDING after ${execs:-?} executions (exit $status), see $FINDINGS/$target"
        return 1
    fi
    echo "$target: ${execs:-?} executions in ${SECONDS_TO_RUN} s, $(sed -E 's/^#[0-9]+[[:space:]]+DONE +//; s/ +corp:.*//' <<<"$done_line"), corpus $(find "$corpus" -type f | wc -l) inputs"
}

failed=0
pids=()
for target in "${targets[@]}"; do
    run_one "$target" >"$WORK/$target.summary" 2>&1 &
    pids+=($!)
    if [ "${#pids[@]}" -ge "$FUZZ_JOBS" ]; then
        wait "${pids[0]}" || failed=1
        pids=("${pids[@]:1}")
    fi
done
for pid in "${pids[@]}"; do
    wait "$pid" || failed=1
done
for target in "${targets[@]}"; do
    cat "$WORK/$target.summary"
done
exit "$failed"

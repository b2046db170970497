#!/usr/bin/env bash
# Where reef-listserver spends its time while wrk downloads a list ("Update", Connection:
# close, as listserver-bench.sh measures it), or asks for the browser page's lists
# ("GET /api/lists" with the sessions of five alliances, as listserver-bench.sh asks): perf samples the server's threads with call
# graphs (DWARF, so that libc's and the libraries' frames count too; the kernel's share of a
# connection is most of the cost), then prints the top of perf's report, by symbol and with
# callees included. Not a test: it asserts nothing.
#
# Usage: scripts/listserver-profile.sh [entries|page]   (default 200; 2000 is the other size
#        the benchmark measures; "page": /api/lists of 200 entries, SESSIONS sessions, default
#        10000, as the benchmark has them). Settings: see listserver-run.sh; PERF_DATA keeps perf's file.
set -euo pipefail

# shellcheck source=listserver-run.sh
source "$(dirname "$0")/listserver-run.sh"
ENTRIES=${1:-200}
PAGE=
if [ "$ENTRIES" = page ]; then
    # Short enough that no session asks past its allowance, as in the benchmark.
    PAGE=1 ENTRIES=200 DURATION=${WEB_DURATION:-6}
fi
prepare_listserver linux-perf
require_tools wrk perf
make_work_folder profile

DB=$WORK/lists.sqlite
PASSWORD=profile-password
echo "$PASSWORD" | "$BIN" alliance add Profile --db "$DB" >/dev/null 2>"$WORK/admin.log" ||
    { cat "$WORK/admin.log"; exit 1; }
if [ -n "$PAGE" ]; then
    for i in $(seq 1 $(((${SESSIONS:-10000} + 999) / 1000))); do
        echo "$PASSWORD-$i" | "$BIN" alliance add "Profile$i" --db "$DB" >/dev/null 2>>"$WORK/admin.log"
    done
fi
start_server "$DB" "$WORK/server.log" --connections-per-address 256 \
    --writes-per-minute 1000000000 --alliance-writes-per-minute 1000000000
SERVER_PID=${SERVER_PIDS[-1]}
fill_list "$PORT" "$PASSWORD" "$ENTRIES" Reef_Frend
URL="http://127.0.0.1:$PORT/Reef-Update.php?Info1=$PASSWORD&Info2=Reef_Frend&Info3=Update"
SCRIPT=()
WHAT="Update of $ENTRIES entries"
if [ -n "$PAGE" ]; then
    page_sessions "$PORT" "$PASSWORD" "$WORK/cookies.txt" "${SESSIONS:-10000}"
    write_lists_script "$WORK/lists.lua" "$WORK/cookies.txt"
    URL="http://127.0.0.1:$PORT/api/lists"
    SCRIPT=("$WORK/lists.lua")
    WHAT="GET /api/lists of $ENTRIES entries, $(wc -l <"$WORK/cookies.txt") sessions"
fi

DATA=${PERF_DATA:-$WORK/perf.data}
run_wrk "$URL" "${SCRIPT[@]}" >"$WORK/wrk.txt" &
WRK_PID=$!
sleep 1 # past wrk's start
perf record -q -p "$SERVER_PID" --call-graph dwarf,16384 -F 2000 -o "$DATA" \
    -- sleep $((DURATION - 2)) 2>/dev/null
wait "$WRK_PID"
echo "$WHAT under wrk -t$THREADS -c$CONNECTIONS: $(rps "$WORK/wrk.txt") req/s," \
    "load average $(cut -d' ' -f1-3 /proc/loadavg)"
grep -E 'answers|Non-2xx|Socket errors' "$WORK/wrk.txt" || true
echo
echo "== reef-listserver: share of its samples by symbol (self) =="
perf report -i "$DATA" --no-children --percentage relative --sort symbol --stdio -g none \
    --percent-limit 0.7 2>/dev/null | grep -v '^#' | grep -v "^$" | cut -c1-110 | head -45
echo
echo "== reef-listserver: by call chain, children included (what the time is spent for) =="
perf report -i "$DATA" --children --percentage relative --sort symbol --stdio -g none \
    --percent-limit 3 2>/dev/null | grep -v '^#' | grep -v "^$" | cut -c1-110 | head -45

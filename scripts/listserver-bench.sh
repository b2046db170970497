#!/usr/bin/env bash
# Benchmark of reef-listserver on loopback (not a test: it prints figures, it asserts nothing).
#
#  1. "Update" of a 200-entry list from reef-listserver, against nginx serving the very same
#     body as a static file: same wrk load, same concurrency, "Connection: close" on both.
#     Prints requests/s and p99 latency of each, and the ratio (goal: at least 0.5).
#  2. Durable "New" requests per second (each "ready" is on disk before it is sent).
#  3. "Update" latency (8 connections) alone, and again while the "New" flood of 2. runs
#     beside it: writes must not stall downloads.
#
# Usage: scripts/listserver-bench.sh        (builds the native-release preset if needed)
# Settings: see listserver-run.sh; SERVE_ARGS replaces the serve options below.
set -euo pipefail

# shellcheck source=listserver-run.sh
source "$(dirname "$0")/listserver-run.sh"
# shellcheck disable=SC2119
prepare_listserver
require_tools wrk nginx
make_work_folder bench

DB=$WORK/lists.sqlite
PASSWORD=bench-password
add_alliances "$DB" Bench "$PASSWORD"

# wrk's connections all come from one address; SERVE_ARGS lets an older build run without the
# options it does not know.
SERVE_ARGS=${SERVE_ARGS-"--connections-per-address 256 --writes-per-minute 1000000000 --alliance-writes-per-minute 1000000000"}
# shellcheck disable=SC2086
start_server "$DB" "$WORK/server.log" $SERVE_ARGS

fill_list "$PORT" "$PASSWORD"
UPDATE_QUERY="Info1=$PASSWORD&Info2=Reef_Frend&Info3=Update"
request "$PORT" "$UPDATE_QUERY" >"$WORK/Reef-Update.php"
# nginx's workers run as an unprivileged user: they must be able to read the file.
chmod 644 "$WORK/Reef-Update.php"
BODY_BYTES=$(stat -c %s "$WORK/Reef-Update.php")

# nginx with the same body as a static file, on its own free port.
NGINX_PORT=$(free_port 18080)
start_nginx "$NGINX_PORT" auto "access_log $WORK/nginx/access.log;
server { listen 127.0.0.1:$NGINX_PORT;
    location = /Reef-Update.php { default_type text/plain; alias $WORK/Reef-Update.php; } }"

echo "reef-listserver benchmark: $(nproc) cores, wrk -t$THREADS -c$CONNECTIONS -d${DURATION}s, Connection: close"
echo "Update body: 200 entries, $BODY_BYTES bytes"

run_wrk "http://127.0.0.1:$PORT/Reef-Update.php?$UPDATE_QUERY" >"$WORK/ours.txt"
run_wrk "http://127.0.0.1:$NGINX_PORT/Reef-Update.php?$UPDATE_QUERY" >"$WORK/nginx.txt"
OURS=$(rps "$WORK/ours.txt")
THEIRS=$(rps "$WORK/nginx.txt")
printf '%-28s %12s req/s   p99 %s\n' "reef-listserver Update" "$OURS" "$(p99 "$WORK/ours.txt")"
printf '%-28s %12s req/s   p99 %s\n' "nginx static file" "$THEIRS" "$(p99 "$WORK/nginx.txt")"
awk -v a="$OURS" -v b="$THEIRS" 'BEGIN { printf "ratio reef-listserver/nginx: %.2f (goal >= 0.5)\n", a / b }'
grep -E 'Non-2xx|Socket errors' "$WORK/ours.txt" "$WORK/nginx.txt" || true

# Durable "New": every answer must be "ready"; spread over 40 alliances x 2 lists.
write_new_script "$WORK/new.lua" "$PASSWORD" Bench
run_wrk "http://127.0.0.1:$PORT/" "$WORK/new.lua" >"$WORK/new.txt"
printf '%-28s %12s req/s   p99 %s\n' "reef-listserver durable New" "$(rps "$WORK/new.txt")" "$(p99 "$WORK/new.txt")"
grep 'answers other than ready' "$WORK/new.txt"

# Downloads beside a write flood: the same "New" load as above, and 8 connections of "Update".
WRK_CONNECTIONS=8 run_wrk "http://127.0.0.1:$PORT/Reef-Update.php?$UPDATE_QUERY" >"$WORK/alone.txt"
run_wrk "http://127.0.0.1:$PORT/" "$WORK/new.lua" >"$WORK/flood.txt" &
FLOOD_PID=$!
WRK_CONNECTIONS=8 run_wrk "http://127.0.0.1:$PORT/Reef-Update.php?$UPDATE_QUERY" >"$WORK/beside.txt"
wait "$FLOOD_PID"
printf '%-28s %12s req/s   p99 %s\n' "Update alone (8 conns)" "$(rps "$WORK/alone.txt")" "$(p99 "$WORK/alone.txt")"
printf '%-28s %12s req/s   p99 %s\n' "Update beside New flood" "$(rps "$WORK/beside.txt")" "$(p99 "$WORK/beside.txt")"
printf '%-28s %12s req/s   p99 %s\n' "the New flood meanwhile" "$(rps "$WORK/flood.txt")" "$(p99 "$WORK/flood.txt")"

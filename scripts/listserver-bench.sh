#!/usr/bin/env bash
# Benchmark of reef-listserver on loopback (not a test: it prints figures, it asserts nothing).
#
#  1. "Update" of a 200-entry and of a 2000-entry list from reef-listserver, against nginx
#     serving the very same bodies as static files: same wrk load, same concurrency,
#     "Connection: close" on both. Prints requests/s and p99 latency of each, and the ratios
#     (goal: at least 0.9).
#     The browser page's "GET /api/lists" with a session, against nginx serving the same
#     JSON (goal: at least 0.9); only answers with the lists count, the others are printed.
#     Beside each comparison: the CPU time per answer of reef-listserver and of nginx's
#     workers, which moves much less with the machine's other work than the answers per second.
#  2. "Update" of the 200-entry list from one process on a PostgreSQL database, against the
#     SQLite server of 1. asked again right after it (goal: at least 0.9).
#  3. Durable "New" requests per second (each "ready" is on disk before it is sent).
#  4. "Update" latency (8 connections) alone, and again while the "New" flood of 3. runs
#     beside it: writes must not stall downloads.
#
# Usage: scripts/listserver-bench.sh        (builds the native-release preset if needed)
# Settings: see listserver-run.sh; SERVE_ARGS replaces the serve options below.
set -euo pipefail

# shellcheck source=listserver-run.sh
source "$(dirname "$0")/listserver-run.sh"
# The PostgreSQL run needs a cluster: the whole script runs again beside a durable one.
if [ -z "${REEF_TEST_POSTGRES:-}" ]; then
    prepare_listserver postgresql
    exec bash "$ROOT/scripts/with-postgres.sh" --durable bash "$0" "$@"
fi
require_tools wrk nginx psql python3
make_work_folder bench

DB=$WORK/lists.sqlite
PASSWORD=bench-password
add_alliances "$DB" Bench "$PASSWORD"

# wrk's connections all come from one address; SERVE_ARGS lets an older build run without the
# options it does not know.
SERVE_ARGS=${SERVE_ARGS-"--connections-per-address 256 --writes-per-minute 1000000000 --alliance-writes-per-minute 1000000000"}
# shellcheck disable=SC2086
start_server "$DB" "$WORK/server.log" $SERVE_ARGS
SQLITE_PORT=$PORT

# 200 entries in the friends' list of Bench, 2000 in its enemies' list.
fill_list "$PORT" "$PASSWORD" 200 Reef_Frend
fill_list "$PORT" "$PASSWORD" 2000 Reef_Enemy
UPDATE_QUERY="Info1=$PASSWORD&Info2=Reef_Frend&Info3=Update"
BIG_QUERY="Info1=$PASSWORD&Info2=Reef_Enemy&Info3=Update"
request "$PORT" "$UPDATE_QUERY" >"$WORK/Reef-Update.php"
request "$PORT" "$BIG_QUERY" >"$WORK/Reef-Update-2000.php"
# nginx's workers run as an unprivileged user: they must be able to read the files.
chmod 644 "$WORK/Reef-Update.php" "$WORK/Reef-Update-2000.php"

# nginx with the same bodies as static files, on its own free port.
NGINX_PORT=$(free_port 18080)
start_nginx "$NGINX_PORT" auto "access_log $WORK/nginx/access.log;
server { listen 127.0.0.1:$NGINX_PORT;
    location = /Reef-Update.php { default_type text/plain; alias $WORK/Reef-Update.php; }
    location = /Reef-Update-2000.php { default_type text/plain; alias $WORK/Reef-Update-2000.php; }
    location = /api/lists { default_type application/json; alias $WORK/lists.json; } }"

echo "reef-listserver benchmark: $(nproc) cores, wrk -t$THREADS -c$CONNECTIONS -d${DURATION}s, Connection: close"
# The machine's load average beside each ratio: other work on the machine skews a run.
ratio() { # label ours theirs
    awk -v l="$1" -v a="$2" -v b="$3" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" \
        'BEGIN { printf "ratio %-40s %.2f (goal >= 0.9)   load average %s\n", l ":", a / b, load }'
}
line() { printf '%-34s %12s req/s   p99 %s\n' "$1" "$(rps "$2")" "$(p99 "$2")"; }
# The server's and nginx's workers' CPU per answer of the runs between their marks.
OURS_PID=${SERVER_PIDS[-1]}
NGINX_WORKERS=$(pgrep -P "$NGINX_PID" | tr '\n' ' ')
cpu_line() { # label ours-ticks ours-rps theirs-ticks theirs-rps seconds
    printf '%-34s %s us reef-listserver, %s us nginx\n' "CPU per answer ($1)" \
        "$(cpu_per_answer "$2" "$3" "$6")" "$(cpu_per_answer "$4" "$5" "$6")"
}

for size in 200 2000; do
    if [ "$size" = 200 ]; then query=$UPDATE_QUERY file=Reef-Update.php; else query=$BIG_QUERY file=Reef-Update-2000.php; fi
    echo "Update body: $size entries, $(stat -c %s "$WORK/$file") bytes"
    t0=$(cpu_ticks "$OURS_PID")
    run_wrk "http://127.0.0.1:$PORT/Reef-Update.php?$query" >"$WORK/ours-$size.txt"
    t1=$(cpu_ticks "$OURS_PID")
    # shellcheck disable=SC2086
    n0=$(cpu_ticks $NGINX_WORKERS)
    run_wrk "http://127.0.0.1:$NGINX_PORT/$file?$query" >"$WORK/nginx-$size.txt"
    # shellcheck disable=SC2086
    n1=$(cpu_ticks $NGINX_WORKERS)
    line "reef-listserver Update ($size)" "$WORK/ours-$size.txt"
    line "nginx static file ($size)" "$WORK/nginx-$size.txt"
    cpu_line "Update $size" $((t1 - t0)) "$(rps "$WORK/ours-$size.txt")" $((n1 - n0)) \
        "$(rps "$WORK/nginx-$size.txt")" "$DURATION"
    ratio "reef-listserver/nginx, $size entries" "$(rps "$WORK/ours-$size.txt")" "$(rps "$WORK/nginx-$size.txt")"
    grep -E 'Non-2xx|Socket errors' "$WORK/ours-$size.txt" "$WORK/nginx-$size.txt" || true
done

# The browser page: GET /api/lists with a session, 200 entries in each alliance, against
# nginx serving the JSON one session gets (asked as the page asks, the token in a header). A session may ask ten times at once, then once
# every 6 seconds (the page asks once a minute): the run takes its turns over the 10,000
# sessions the server keeps (of ten alliances, logged in from many loopback addresses within
# the server's limits per address and alliance), so that no session asks past its allowance;
# it counts only the answers with the lists and prints how many others there were.
page_sessions "$PORT" "$PASSWORD" "$WORK/cookies.txt" "${SESSIONS:-10000}"
exec 3<>"/dev/tcp/127.0.0.1/$PORT"
printf 'GET /api/lists HTTP/1.0\r\nCookie: %s\r\nX-Reef-Csrf:\r\n\r\n' "$(head -1 "$WORK/cookies.txt")" >&3
sed '1,/^\r$/d' <&3 >"$WORK/lists.json"
exec 3<&-
chmod 644 "$WORK/lists.json"
write_lists_script "$WORK/lists.lua" "$WORK/cookies.txt"
echo "/api/lists body: 200 entries, $(stat -c %s "$WORK/lists.json") bytes, $(wc -l <"$WORK/cookies.txt") sessions"
WEB_DURATION=${WEB_DURATION:-5}
t0=$(cpu_ticks "$OURS_PID")
DURATION=$WEB_DURATION run_wrk "http://127.0.0.1:$PORT/api/lists" "$WORK/lists.lua" >"$WORK/ours-web.txt"
t1=$(cpu_ticks "$OURS_PID")
# The same script for nginx: wrk reads both answers alike.
# shellcheck disable=SC2086
n0=$(cpu_ticks $NGINX_WORKERS)
DURATION=$WEB_DURATION run_wrk "http://127.0.0.1:$NGINX_PORT/api/lists" "$WORK/lists.lua" >"$WORK/nginx-web.txt"
# shellcheck disable=SC2086
n1=$(cpu_ticks $NGINX_WORKERS)
WEB_OK=$(awk '/^200 answers\/sec:/ {print $3}' "$WORK/ours-web.txt")
printf '%-34s %12s req/s   p99 %s\n' "reef-listserver /api/lists" "$WEB_OK" "$(p99 "$WORK/ours-web.txt")"
line "nginx static file (/api/lists)" "$WORK/nginx-web.txt"
# Every answer of the run is counted for the CPU, the 200s and the others alike.
cpu_line "/api/lists" $((t1 - t0)) "$(rps "$WORK/ours-web.txt")" $((n1 - n0)) \
    "$(rps "$WORK/nginx-web.txt")" "$WEB_DURATION"
ratio "reef-listserver/nginx, /api/lists" "$WEB_OK" "$(rps "$WORK/nginx-web.txt")"
grep 'answers other than 200' "$WORK/ours-web.txt"
grep -E 'Non-2xx|Socket errors' "$WORK/nginx-web.txt" || true

# One process on a PostgreSQL database: the same 200-entry download.
PG_NAME=reef_bench
PGOPTIONS='-c client_min_messages=warning' psql -q "$REEF_TEST_POSTGRES" \
    -c "DROP DATABASE IF EXISTS $PG_NAME" -c "CREATE DATABASE $PG_NAME"
PG_DB="postgresql:///$PG_NAME?${REEF_TEST_POSTGRES#*\?}"
add_alliances "$PG_DB" Bench "$PASSWORD"
# shellcheck disable=SC2086
start_server "$PG_DB" "$WORK/server-postgres.log" $SERVE_ARGS
PG_PORT=$PORT
PG_PID=${SERVER_PIDS[-1]}
fill_list "$PG_PORT" "$PASSWORD" 200 Reef_Frend
t0=$(cpu_ticks "$PG_PID")
run_wrk "http://127.0.0.1:$PG_PORT/Reef-Update.php?$UPDATE_QUERY" >"$WORK/postgres.txt"
t1=$(cpu_ticks "$PG_PID")
# SQLite once more right after, so that both runs meet the same state of the machine.
s0=$(cpu_ticks "$OURS_PID")
run_wrk "http://127.0.0.1:$SQLITE_PORT/Reef-Update.php?$UPDATE_QUERY" >"$WORK/sqlite-again.txt"
s1=$(cpu_ticks "$OURS_PID")
line "PostgreSQL Update (200)" "$WORK/postgres.txt"
line "SQLite Update (200), right after" "$WORK/sqlite-again.txt"
printf '%-34s %s us PostgreSQL, %s us SQLite\n' "CPU per answer (Update 200)" \
    "$(cpu_per_answer $((t1 - t0)) "$(rps "$WORK/postgres.txt")" "$DURATION")" \
    "$(cpu_per_answer $((s1 - s0)) "$(rps "$WORK/sqlite-again.txt")" "$DURATION")"
ratio "PostgreSQL/SQLite Update per process" "$(rps "$WORK/postgres.txt")" "$(rps "$WORK/sqlite-again.txt")"
grep -E 'Non-2xx|Socket errors' "$WORK/postgres.txt" || true
PORT=$SQLITE_PORT

# Durable "New": every answer must be "ready"; spread over 40 alliances x 2 lists.
write_new_script "$WORK/new.lua" "$PASSWORD" Bench
run_wrk "http://127.0.0.1:$PORT/" "$WORK/new.lua" >"$WORK/new.txt"
line "reef-listserver durable New" "$WORK/new.txt"
grep 'answers other than ready' "$WORK/new.txt"

# Downloads beside a write flood: the same "New" load as above, and 8 connections of "Update".
WRK_CONNECTIONS=8 run_wrk "http://127.0.0.1:$PORT/Reef-Update.php?$UPDATE_QUERY" >"$WORK/alone.txt"
run_wrk "http://127.0.0.1:$PORT/" "$WORK/new.lua" >"$WORK/flood.txt" &
FLOOD_PID=$!
WRK_CONNECTIONS=8 run_wrk "http://127.0.0.1:$PORT/Reef-Update.php?$UPDATE_QUERY" >"$WORK/beside.txt"
wait "$FLOOD_PID"
line "Update alone (8 conns)" "$WORK/alone.txt"
line "Update beside New flood" "$WORK/beside.txt"
line "the New flood meanwhile" "$WORK/flood.txt"

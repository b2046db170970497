#!/usr/bin/env bash
# Load test of reef-listserver on loopback (not part of the test command: it prints figures).
# For each store (a SQLite file; a PostgreSQL database of a throwaway cluster that syncs every
# commit to disk) and for one and for two server processes on that one database, behind nginx
# (round robin over the processes):
#   Update  wrk downloads of a 200-entry list;
#   New     wrk writes of new entries (a Lua script), spread over 40 alliances and both lists;
# then every list is downloaded again and its entries counted against the "ready" answers that
# wrk saw: an entry answered "ready" but missing is a lost write.
# Prints one table: requests per second and p99 latency of Update and New, ready answers,
# stored entries and lost writes.
#
# Usage: scripts/listserver-load.sh        (builds the native-release preset if needed)
# Settings: see listserver-run.sh.
set -euo pipefail

# shellcheck source=listserver-run.sh
source "$(dirname "$0")/listserver-run.sh"

# The PostgreSQL runs need a cluster: the whole script runs again beside a durable one.
if [ -z "${REEF_TEST_POSTGRES:-}" ]; then
    prepare_listserver postgresql
    exec bash "$ROOT/scripts/with-postgres.sh" --durable bash "$0" "$@"
fi
require_tools wrk nginx psql
make_work_folder load

# The cluster's address with another database in it.
pg_address() { echo "postgresql:///$1?${REEF_TEST_POSTGRES#*\?}"; }

PASSWORD=load-password
ROWS=()
write_new_script "$WORK/new.lua" "$PASSWORD" Load
run_case() { # store processes
    local store=$1 processes=$2 db name
    stop_servers
    if [ "$store" = PostgreSQL ]; then
        name="reef_load_$processes"
        PGOPTIONS='-c client_min_messages=warning' psql -q "$REEF_TEST_POSTGRES" \
            -c "DROP DATABASE IF EXISTS $name" -c "CREATE DATABASE $name"
        db=$(pg_address "$name")
    else
        db="$WORK/load-$processes.sqlite"
        rm -f "$db" "$db".*
    fi
    add_alliances "$db" Load "$PASSWORD"
    local ports=() p
    for p in $(seq 1 "$processes"); do
        # wrk's connections all come through nginx, one address.
        start_server "$db" "$WORK/server-$store-$processes-$p.log" \
            --connections-per-address 100000 --max-connections 1024 \
            --writes-per-minute 1000000000 --alliance-writes-per-minute 1000000000 \
            --trusted-proxy 127.0.0.1
        ports+=("$PORT")
    done
    local front
    front=$(free_port 18300)
    local upstream="upstream listservers {" port
    for port in "${ports[@]}"; do upstream+=" server 127.0.0.1:$port;"; done
    start_nginx "$front" 2 "access_log off; $upstream }
server { listen 127.0.0.1:$front; location / { proxy_pass http://listservers;
    proxy_set_header X-Real-IP \$remote_addr; } }"

    fill_list "$front" "$PASSWORD"
    local tag="$store-$processes"
    run_wrk "http://127.0.0.1:$front/Reef-Update.php?Info1=$PASSWORD&Info2=Reef_Frend&Info3=Update" >"$WORK/update-$tag.txt"
    run_wrk "http://127.0.0.1:$front/" "$WORK/new.lua" >"$WORK/new-$tag.txt"
    local ready stored=0 list count
    ready=$(awk '/^ready answers:/ {print $3}' "$WORK/new-$tag.txt")
    # Stored entries, read back through the servers themselves.
    for i in $(seq 1 40); do
        for list in Reef_Frend Reef_Enemy; do
            count=$(request "$front" "Info1=$PASSWORD-$i&Info2=$list&Info3=Update" | grep -o '<|Load_' | wc -l)
            stored=$((stored + count))
        done
    done
    local lost=$((ready > stored ? ready - stored : 0))
    ROWS+=("$(printf '%-10s %9s %12s %10s %12s %10s %8s %8s %5s' "$store" "$processes" \
        "$(rps "$WORK/update-$tag.txt")" "$(p99 "$WORK/update-$tag.txt")" \
        "$(rps "$WORK/new-$tag.txt")" "$(p99 "$WORK/new-$tag.txt")" "$ready" "$stored" "$lost")")
    grep -hE 'Non-2xx|Socket errors' "$WORK/update-$tag.txt" "$WORK/new-$tag.txt" | sed "s/^/$tag: /" || true
    stop_servers
}

echo "reef-listserver load test: $(nproc) cores, wrk -t$THREADS -c$CONNECTIONS -d${DURATION}s, Connection: close, through nginx"
for store in SQLite PostgreSQL; do
    for processes in 1 2; do
        run_case "$store" "$processes"
    done
done
printf '%-10s %9s %12s %10s %12s %10s %8s %8s %5s\n' store processes "Update/s" "Update p99" "New/s" "New p99" ready stored lost
printf '%s\n' "${ROWS[@]}"
echo "ready: New answered \"ready\"; stored: their entries found in the lists afterwards (more than"
echo "ready when writes were still in flight as wrk stopped); lost: ready answers without an entry."

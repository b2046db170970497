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
# Settings: DURATION (s per run, default 10), CONNECTIONS (default 32), THREADS (wrk threads,
#           default 2), BUILD_DIR (default build/native-release).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
DURATION=${DURATION:-10}
CONNECTIONS=${CONNECTIONS:-32}
THREADS=${THREADS:-2}
BUILD_DIR=${BUILD_DIR:-$ROOT/build/native-release}
BIN=$BUILD_DIR/listserver/reef-listserver

# The PostgreSQL runs need a cluster: the whole script runs again beside a durable one.
if [ -z "${REEF_TEST_POSTGRES:-}" ]; then
    # shellcheck source=packages.sh
    source "$ROOT/scripts/packages.sh"
    if [ "$(id -u)" = 0 ]; then
        reef_install_packages wrk nginx-light postgresql libmicrohttpd-dev libsqlite3-dev \
            libsodium-dev libpq-dev pkg-config cmake make g++
    fi
    if [ ! -x "$BIN" ]; then
        (cd "$ROOT" && cmake --preset native-release -B "$BUILD_DIR" >/dev/null &&
            cmake --build "$BUILD_DIR" -j2 --target reef-listserver >/dev/null)
    fi
    exec bash "$ROOT/scripts/with-postgres.sh" --durable bash "$0" "$@"
fi
for tool in wrk nginx psql; do
    command -v "$tool" >/dev/null || PATH=$PATH:/usr/sbin
    command -v "$tool" >/dev/null || { echo "missing: $tool (Debian: wrk, nginx-light, postgresql)"; exit 1; }
done

WORK=$(mktemp -d /tmp/reef-listserver-load-XXXXXX)
chmod 755 "$WORK"
SERVER_PIDS=()
NGINX_PID=
stop_servers() {
    local pid
    for pid in "${SERVER_PIDS[@]}"; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    SERVER_PIDS=()
    if [ -n "$NGINX_PID" ]; then
        kill "$NGINX_PID" 2>/dev/null && wait "$NGINX_PID" 2>/dev/null
    fi
    NGINX_PID=
}
cleanup() {
    stop_servers
    rm -rf "$WORK"
}
trap cleanup EXIT

# The cluster's address with another database in it.
pg_address() { echo "postgresql:///$1?${REEF_TEST_POSTGRES#*\?}"; }

free_port() {
    local candidate
    for candidate in $(seq "$1" $(($1 + 200))); do
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
            echo "$candidate"
            return
        fi
    done
    echo "no free port from $1" >&2
    exit 1
}

# serve on a port the system picks; sets PORT.
start_server() { # db log
    # wrk's connections all come through nginx, one address.
    "$BIN" serve --listen 127.0.0.1:0 --db "$1" --connections-per-address 100000 \
        --max-connections 1024 --writes-per-minute 1000000000 \
        --alliance-writes-per-minute 1000000000 --trusted-proxy 127.0.0.1 2>"$2" &
    SERVER_PIDS+=($!)
    PORT=""
    for _ in $(seq 1 500); do
        PORT=$(grep -o 'listening on 127.0.0.1:[0-9]*' "$2" | sed 's/.*://' || true)
        [ -n "$PORT" ] && break
        sleep 0.02
    done
    [ -n "$PORT" ] || { cat "$2" >&2; exit 1; }
}

start_nginx() { # listen-port backend-ports...
    local listen=$1
    shift
    mkdir -p "$WORK/nginx"
    {
        echo "worker_processes 2; daemon off; pid $WORK/nginx/nginx.pid;"
        echo "error_log $WORK/nginx/error.log warn;"
        echo "events { worker_connections 4096; }"
        echo "http { access_log off; keepalive_timeout 0;"
        for temp in client_body proxy fastcgi uwsgi scgi; do echo "${temp}_temp_path $WORK/nginx;"; done
        echo "upstream listservers {"
        local port
        for port in "$@"; do echo "server 127.0.0.1:$port;"; done
        echo "}"
        echo "server { listen 127.0.0.1:$listen; location / { proxy_pass http://listservers;"
        echo "    proxy_set_header X-Real-IP \$remote_addr; } }"
        echo "}"
    } >"$WORK/nginx.conf"
    nginx -c "$WORK/nginx.conf" -p "$WORK/nginx" &
    NGINX_PID=$!
    for _ in $(seq 1 250); do
        (exec 3<>"/dev/tcp/127.0.0.1/$listen") 2>/dev/null && return
        sleep 0.02
    done
    echo "nginx did not start" >&2
    exit 1
}

# One HTTP/1.0 request the way the desktop program sends it; prints the body.
request() { # port query
    exec 3<>"/dev/tcp/127.0.0.1/$1"
    printf 'GET http://127.0.0.1/Reef-Update.php?%s HTTP/1.0\r\n\r\n' "$2" >&3
    sed '1,/^\r$/d' <&3
    exec 3<&-
}

cat >"$WORK/new.lua" <<'LUA'
local counter = 0
local threads = {}
ready = 0
function setup(thread)
    thread:set("id", #threads)
    table.insert(threads, thread)
end
request = function()
    counter = counter + 1
    local alliance = (counter + id * 7) % 40 + 1
    local list = (counter % 2 == 0) and "Reef_Frend" or "Reef_Enemy"
    local path = "/Reef-Update.php?Info1=load-password-" .. alliance .. "&Info2=" .. list ..
        "&Info3=New&Hilfe=1&Name=Load_" .. id .. "_" .. counter ..
        "&Basis=1:2:3&Schiffe=100&Modus=2&ZielName=Ziel&ZielBasis=4:5:6&BasisZeit=3600" ..
        "&Von=Load&ZielZeit=2400"
    return wrk.format("GET", path)
end
response = function(status, headers, body)
    if body == "ready" then ready = ready + 1 end
end
done = function(summary, latency, requests)
    local total = 0
    for _, thread in ipairs(threads) do total = total + thread:get("ready") end
    io.write(string.format("ready answers: %d\n", total))
end
LUA

run_wrk() { # url [script]
    local args=(-t"$THREADS" -c"$CONNECTIONS" -d"${DURATION}s" --latency -H "Connection: close")
    [ $# -ge 2 ] && args+=(-s "$2")
    wrk "${args[@]}" "$1"
}
rps() { awk '/^Requests\/sec:/ {print $2}' "$1"; }
p99() { awk '$1 == "99%" {print $2}' "$1"; }

PASSWORD=load-password
ROWS=()
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
    echo "$PASSWORD" | "$BIN" alliance add Load --db "$db" >/dev/null 2>>"$WORK/admin.log" ||
        { cat "$WORK/admin.log"; exit 1; }
    for i in $(seq 1 40); do
        echo "$PASSWORD-$i" | "$BIN" alliance add "Load$i" --db "$db" >/dev/null 2>>"$WORK/admin.log"
    done
    local ports=() p
    for p in $(seq 1 "$processes"); do
        start_server "$db" "$WORK/server-$store-$processes-$p.log"
        ports+=("$PORT")
    done
    local front
    front=$(free_port 18300)
    start_nginx "$front" "${ports[@]}"

    for i in $(seq 1 200); do
        answer=$(request "$front" "Info1=$PASSWORD&Info2=Reef_Frend&Info3=New&Hilfe=$((i % 6))&Name=Spieler_$i&Allianz=Korallen&Basis=$((i % 9)):$((i % 400)):$((i % 12))&Punkte=$((i * 15731))&Schiffe=$((i * 37))&Modus=$((i % 3))&ZielName=Ziel_$i&ZielAllianz=Haie&ZielBasis=4:$i:7&ZielPunkte=$((i * 9973))&BasisZeit=$(((i * 1200) % 86400))&ZielZeit=$(((i * 600) % 86400))")
        [ "$answer" = ready ] || { echo "filling the list failed at $i: $answer"; exit 1; }
    done
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

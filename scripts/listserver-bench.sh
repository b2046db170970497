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
# Settings: DURATION (s, default 10), CONNECTIONS (default 32), THREADS (wrk threads, 2),
#           BUILD_DIR (default build/native-release).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
DURATION=${DURATION:-10}
CONNECTIONS=${CONNECTIONS:-32}
THREADS=${THREADS:-2}
BUILD_DIR=${BUILD_DIR:-$ROOT/build/native-release}
BIN=$BUILD_DIR/listserver/reef-listserver

# shellcheck source=packages.sh
source "$ROOT/scripts/packages.sh"
if [ "$(id -u)" = 0 ]; then
    reef_install_packages wrk nginx-light libmicrohttpd-dev libsqlite3-dev libsodium-dev \
        pkg-config cmake make g++
fi
for tool in wrk nginx; do
    command -v "$tool" >/dev/null || PATH=$PATH:/usr/sbin
    command -v "$tool" >/dev/null || { echo "missing: $tool (Debian: wrk, nginx-light)"; exit 1; }
done

if [ ! -x "$BIN" ]; then
    (cd "$ROOT" && cmake --preset native-release -B "$BUILD_DIR" >/dev/null &&
        cmake --build "$BUILD_DIR" -j2 --target reef-listserver >/dev/null)
fi

WORK=$(mktemp -d /tmp/reef-listserver-bench-XXXXXX)
SERVER_PID=
NGINX_PID=
cleanup() {
    [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null && wait "$SERVER_PID" 2>/dev/null
    [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null && wait "$NGINX_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

DB=$WORK/lists.sqlite
PASSWORD=bench-password
echo "$PASSWORD" | "$BIN" alliance add Bench --db "$DB" >/dev/null 2>&1
# Alliances for the "New" run, so that no list reaches its limit of 2000 entries.
for i in $(seq 1 40); do
    echo "new-password-$i" | "$BIN" alliance add "New$i" --db "$DB" >/dev/null 2>&1
done

# wrk's connections all come from one address; SERVE_ARGS lets an older build run without the
# options it does not know.
SERVE_ARGS=${SERVE_ARGS-"--connections-per-address 256 --writes-per-minute 1000000000 --alliance-writes-per-minute 1000000000"}
# shellcheck disable=SC2086
"$BIN" serve --listen 127.0.0.1:0 --db "$DB" $SERVE_ARGS 2>"$WORK/server.log" &
SERVER_PID=$!
PORT=
for _ in $(seq 1 500); do
    PORT=$(grep -o 'listening on 127.0.0.1:[0-9]*' "$WORK/server.log" | sed 's/.*://' || true)
    [ -n "$PORT" ] && break
    sleep 0.02
done
[ -n "$PORT" ] || { cat "$WORK/server.log"; exit 1; }

# One HTTP/1.0 request the way the desktop program sends it; prints the body.
request() {
    exec 3<>"/dev/tcp/127.0.0.1/$PORT"
    printf 'GET http://127.0.0.1/Reef-Update.php?%s HTTP/1.0\r\n\r\n' "$1" >&3
    sed '1,/^\r$/d' <&3
    exec 3<&-
}

for i in $(seq 1 200); do
    answer=$(request "Info1=$PASSWORD&Info2=Reef_Frend&Info3=New&Hilfe=$((i % 6))&Name=Spieler_$i&Allianz=Korallen&Basis=$((i % 9)):$((i % 400)):$((i % 12))&Punkte=$((i * 15731))&Schiffe=$((i * 37))&Modus=$((i % 3))&ZielName=Ziel_$i&ZielAllianz=Haie&ZielBasis=4:$i:7&ZielPunkte=$((i * 9973))&BasisZeit=$(((i * 1200) % 86400))&ZielZeit=$(((i * 600) % 86400))")
    [ "$answer" = ready ] || { echo "filling the list failed at $i: $answer"; exit 1; }
done
UPDATE_QUERY="Info1=$PASSWORD&Info2=Reef_Frend&Info3=Update"
request "$UPDATE_QUERY" >"$WORK/Reef-Update.php"
# nginx's workers run as an unprivileged user: they must be able to read the file.
chmod 755 "$WORK"
chmod 644 "$WORK/Reef-Update.php"
BODY_BYTES=$(stat -c %s "$WORK/Reef-Update.php")

# nginx with the same body as a static file, on its own free port.
NGINX_PORT=
for candidate in $(seq 18080 18180); do
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
        NGINX_PORT=$candidate
        break
    fi
done
[ -n "$NGINX_PORT" ] || { echo "no free port for nginx"; exit 1; }
mkdir -p "$WORK/nginx"
cat >"$WORK/nginx.conf" <<CONF
worker_processes auto;
daemon off;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/error.log warn;
events { worker_connections 4096; }
http {
    access_log $WORK/nginx/access.log;
    client_body_temp_path $WORK/nginx;
    proxy_temp_path $WORK/nginx;
    fastcgi_temp_path $WORK/nginx;
    uwsgi_temp_path $WORK/nginx;
    scgi_temp_path $WORK/nginx;
    keepalive_timeout 0;
    server {
        listen 127.0.0.1:$NGINX_PORT;
        location = /Reef-Update.php {
            default_type text/plain;
            alias $WORK/Reef-Update.php;
        }
    }
}
CONF
nginx -c "$WORK/nginx.conf" -p "$WORK/nginx" &
NGINX_PID=$!
for _ in $(seq 1 250); do
    (exec 3<>"/dev/tcp/127.0.0.1/$NGINX_PORT") 2>/dev/null && break
    sleep 0.02
done

run_wrk() { # url [script]
    local args=(-t"$THREADS" -c"${WRK_CONNECTIONS:-$CONNECTIONS}" -d"${DURATION}s" --latency -H "Connection: close")
    [ $# -ge 2 ] && args+=(-s "$2")
    wrk "${args[@]}" "$1"
}
rps() { awk '/^Requests\/sec:/ {print $2}' "$1"; }
p99() { awk '$1 == "99%" {print $2}' "$1"; }

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
cat >"$WORK/new.lua" <<'LUA'
local counter = 0
local threads = {}
bad = 0
function setup(thread)
    thread:set("id", #threads)
    table.insert(threads, thread)
end
request = function()
    counter = counter + 1
    local alliance = (counter + id * 7) % 40 + 1
    local list = (counter % 2 == 0) and "Reef_Frend" or "Reef_Enemy"
    local path = "/Reef-Update.php?Info1=new-password-" .. alliance .. "&Info2=" .. list ..
        "&Info3=New&Hilfe=1&Name=Bench_" .. id .. "_" .. counter ..
        "&Basis=1:2:3&Schiffe=100&Modus=2&ZielName=Ziel&ZielBasis=4:5:6&BasisZeit=3600" ..
        "&Von=Bench&ZielZeit=2400"
    return wrk.format("GET", path)
end
response = function(status, headers, body)
    if body ~= "ready" then bad = bad + 1 end
end
done = function(summary, latency, requests)
    local total = 0
    for _, thread in ipairs(threads) do total = total + thread:get("bad") end
    io.write(string.format("answers other than ready: %d\n", total))
end
LUA
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

# shellcheck shell=bash
# Sourced by listserver-bench.sh and listserver-load.sh: reef-listserver and nginx on loopback
# under wrk, and the figures wrk prints. Every process started here is stopped, and the work
# folder removed, when the sourcing script ends.
#
# Settings: DURATION (s per wrk run, default 10), CONNECTIONS (default 32), THREADS (wrk
#           threads, default 2), BUILD_DIR (default build/native-release).

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
DURATION=${DURATION:-10}
CONNECTIONS=${CONNECTIONS:-32}
THREADS=${THREADS:-2}
BUILD_DIR=${BUILD_DIR:-$ROOT/build/native-release}
BIN=$BUILD_DIR/listserver/reef-listserver

# What building and running reef-listserver under wrk needs, installed when run as root, and
# the program built (native-release preset) when it is missing.
prepare_listserver() { # extra-packages...
    # shellcheck source=packages.sh
    source "$ROOT/scripts/packages.sh"
    if [ "$(id -u)" = 0 ]; then
        reef_install_packages wrk nginx-light libmicrohttpd-dev libsqlite3-dev libsodium-dev \
            libpq-dev libcurl4-openssl-dev nlohmann-json3-dev pkg-config cmake make g++ python3 "$@"
    fi
    if [ ! -x "$BIN" ]; then
        (cd "$ROOT" && cmake --preset native-release -B "$BUILD_DIR" >/dev/null &&
            cmake --build "$BUILD_DIR" -j2 --target reef-listserver >/dev/null)
    fi
}

require_tools() { # tool...
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || PATH=$PATH:/usr/sbin
        command -v "$tool" >/dev/null || { echo "missing: $tool (Debian: wrk, nginx-light, postgresql)"; exit 1; }
    done
}

SERVER_PIDS=()
NGINX_PID=
WORK=
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
    [ -n "$WORK" ] && rm -rf "$WORK"
}

# A fresh work folder in WORK, which nginx's unprivileged workers may read.
make_work_folder() { # name
    WORK=$(mktemp -d "/tmp/reef-listserver-$1-XXXXXX")
    chmod 755 "$WORK"
    trap cleanup EXIT
}

free_port() { # first-candidate
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

# The alliance NAME with PASSWORD, and the alliances NAME1..NAME40 with PASSWORD-1..PASSWORD-40
# for the "New" runs, so that no list reaches its limit of 2000 entries.
add_alliances() { # db name password
    echo "$3" | "$BIN" alliance add "$2" --db "$1" >/dev/null 2>>"$WORK/admin.log" ||
        { cat "$WORK/admin.log"; exit 1; }
    local i
    for i in $(seq 1 40); do
        echo "$3-$i" | "$BIN" alliance add "$2$i" --db "$1" >/dev/null 2>>"$WORK/admin.log"
    done
}

# serve on a port the system picks; sets PORT.
start_server() { # db log serve-options...
    local db=$1 log=$2
    shift 2
    "$BIN" serve --listen 127.0.0.1:0 --db "$db" "$@" 2>"$log" &
    SERVER_PIDS+=($!)
    PORT=""
    for _ in $(seq 1 500); do
        PORT=$(grep -o 'listening on 127.0.0.1:[0-9]*' "$log" | sed 's/.*://' || true)
        [ -n "$PORT" ] && break
        sleep 0.02
    done
    [ -n "$PORT" ] || { cat "$log" >&2; exit 1; }
}

# nginx on the port, with the given workers and lines inside its http block.
start_nginx() { # listen-port workers http-lines
    mkdir -p "$WORK/nginx"
    {
        echo "worker_processes $2; daemon off; pid $WORK/nginx/nginx.pid;"
        echo "error_log $WORK/nginx/error.log warn;"
        echo "events { worker_connections 4096; }"
        echo "http { keepalive_timeout 0;"
        for temp in client_body proxy fastcgi uwsgi scgi; do echo "${temp}_temp_path $WORK/nginx;"; done
        echo "$3"
        echo "}"
    } >"$WORK/nginx.conf"
    nginx -c "$WORK/nginx.conf" -p "$WORK/nginx" &
    NGINX_PID=$!
    for _ in $(seq 1 250); do
        (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return
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

# COUNT (default 200) entries of every kind of value in a list (default the friends' list).
fill_list() { # port password [count] [list]
    local i answer count=${3:-200} list=${4:-Reef_Frend}
    for i in $(seq 1 "$count"); do
        answer=$(request "$1" "Info1=$2&Info2=$list&Info3=New&Hilfe=$((i % 6))&Name=Spieler_$i&Allianz=Korallen&Basis=$((i % 9)):$((i % 400)):$((i % 12))&Punkte=$((i * 15731))&Schiffe=$((i * 37))&Modus=$((i % 3))&ZielName=Ziel_$i&ZielAllianz=Haie&ZielBasis=4:$i:7&ZielPunkte=$((i * 9973))&BasisZeit=$(((i * 1200) % 86400))&ZielZeit=$(((i * 600) % 86400))&Von=Bench")
        [ "$answer" = ready ] || { echo "filling the list failed at $i: $answer"; exit 1; }
    done
}

# The wrk script of "New" requests, spread over the 40 alliances of add_alliances and both
# lists; at its end it prints "ready answers: N" and "answers other than ready: N".
write_new_script() { # file password name-prefix
    cat >"$1" <<LUA
local counter = 0
local threads = {}
ready = 0
other = 0
function setup(thread)
    thread:set("id", #threads)
    table.insert(threads, thread)
end
request = function()
    counter = counter + 1
    local alliance = (counter + id * 7) % 40 + 1
    local list = (counter % 2 == 0) and "Reef_Frend" or "Reef_Enemy"
    local path = "/Reef-Update.php?Info1=$2-" .. alliance .. "&Info2=" .. list ..
        "&Info3=New&Hilfe=1&Name=$3_" .. id .. "_" .. counter ..
        "&Basis=1:2:3&Schiffe=100&Modus=2&ZielName=Ziel&ZielBasis=4:5:6&BasisZeit=3600" ..
        "&Von=$3&ZielZeit=2400"
    return wrk.format("GET", path)
end
response = function(status, headers, body)
    if body == "ready" then ready = ready + 1 else other = other + 1 end
end
done = function(summary, latency, requests)
    local readyTotal, otherTotal = 0, 0
    for _, thread in ipairs(threads) do
        readyTotal = readyTotal + thread:get("ready")
        otherTotal = otherTotal + thread:get("other")
    end
    io.write(string.format("ready answers: %d\n", readyTotal))
    io.write(string.format("answers other than ready: %d\n", otherTotal))
end
LUA
}

# Sessions of the browser page for GET /api/lists: COUNT sessions (default 10000, the most the
# server keeps) of ceil(COUNT/1000) alliances PASSWORD-1, PASSWORD-2, ... (1000 sessions each
# at most), each alliance with 200 entries in its friends' list; their cookies to OUT, one a
# line. The page asks once a minute; with this many sessions, each asked in turn, no session
# asks more often in a run than its allowance (10 at once, then one every 6 s) lets it, and
# only the limits of the server's own bounds are met: no 429 counts against the figure.
page_sessions() { # port password out [count]
    local count=${4:-10000} i passwords=()
    for i in $(seq 1 $(((count + 999) / 1000))); do
        fill_list "$1" "$2-$i" 200 Reef_Frend
        passwords+=("$2-$i")
    done
    python3 "$ROOT/scripts/listserver-sessions.py" "$1" "$count" "$3" "${passwords[@]}"
}

# The wrk script of "GET /api/lists" with the sessions of a cookie file (one a line), each
# asked in turn; at its end it prints how many answers were 200 and how many 200 answers per
# second that makes (what a page waits for: a 429 is no list). It asks as the page does, with
# the header X-Reef-Csrf (the page's token; the server reads none on this request).
write_lists_script() { # file cookie-file
    cat >"$1" <<LUA
local threads = {}
local cookies = {}
for line in io.lines("$2") do cookies[#cookies + 1] = line end
ok = 0
other = 0
function setup(thread)
    thread:set("id", #threads)
    table.insert(threads, thread)
end
local counter = 0
request = function()
    counter = counter + 1
    local index = (counter * $THREADS + id) % #cookies + 1
    return wrk.format("GET", "/api/lists", { ["Cookie"] = cookies[index], ["X-Reef-Csrf"] = "" })
end
response = function(status, headers, body)
    if status == 200 then ok = ok + 1 else other = other + 1 end
end
done = function(summary, latency, requests)
    local okTotal, otherTotal = 0, 0
    for _, thread in ipairs(threads) do
        okTotal = okTotal + thread:get("ok")
        otherTotal = otherTotal + thread:get("other")
    end
    io.write(string.format("200 answers: %d\n", okTotal))
    io.write(string.format("answers other than 200: %d\n", otherTotal))
    io.write(string.format("200 answers/sec: %.2f\n", okTotal / (summary.duration / 1e6)))
end
LUA
}

run_wrk() { # url [script]
    local args=(-t"$THREADS" -c"${WRK_CONNECTIONS:-$CONNECTIONS}" -d"${DURATION}s" --latency -H "Connection: close")
    [ $# -ge 2 ] && args+=(-s "$2")
    wrk "${args[@]}" "$1"
}
rps() { awk '/^Requests\/sec:/ {print $2}' "$1"; }

# CPU time (user and system, in clock ticks) the processes have used so far: the server's cost
# per answer does not swing with the other work on the machine the way answers per second do.
cpu_ticks() { # pid...
    local pid total=0
    for pid in "$@"; do
        total=$((total + $(awk '{print $14 + $15}' "/proc/$pid/stat")))
    done
    echo "$total"
}
# Microseconds of CPU per answer, from the ticks a run took.
cpu_per_answer() { # ticks answers-per-second seconds
    awk -v t="$1" -v r="$2" -v d="$3" -v hz="$(getconf CLK_TCK)" \
        'BEGIN { if (r > 0) printf "%.1f", t * 1e6 / hz / (r * d); else print "-" }'
}
p99() { awk '$1 == "99%" {print $2}' "$1"; }

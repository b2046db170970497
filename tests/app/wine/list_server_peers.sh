# Sourced by the fleet list scripts under Wine: the real reef-listserver and the real proxies
# they talk to, each on a free loopback port, stopped (with every process they started) by
# stop_peers. Needs $work, a folder the caller removes.

peer_groups=()

# The native reef-listserver: $REEF_LISTSERVER (the test command passes its own build), else
# the one of a native build beside the Windows build.
find_list_server() {
    local root candidate
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
    for candidate in "${REEF_LISTSERVER:-}" "$root/build/native/listserver/reef-listserver" \
        "$root/build/native-release/listserver/reef-listserver"; do
        if [ -n "$candidate" ] && [ -x "$candidate" ]; then
            echo "$candidate"
            return 0
        fi
    done
    echo "FAIL: no reef-listserver (set REEF_LISTSERVER or build the native preset)" >&2
    return 1
}

# True while somebody accepts connections on the loopback port.
port_listens() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# A loopback port nobody listens on now; the caller retries when another process takes it
# before its server does.
free_port() {
    local port
    for _ in $(seq 100); do
        port=$((20000 + RANDOM % 40000))
        if ! port_listens "$port"; then
            echo "$port"
            return 0
        fi
    done
    return 1
}

# Starts the command in a process group of its own (so that stop_peers reaches whatever it
# forks), output into the log file. Sets peer_pid. A test killed at its time limit runs no
# clean-up; its peers then end by themselves after ten minutes.
start_peer() { # log command...
    local log=$1
    shift
    setsid timeout 600 "$@" >"$log" 2>&1 </dev/null &
    peer_pid=$!
    peer_groups+=("$peer_pid")
}

stop_peers() {
    local group
    for group in "${peer_groups[@]}"; do
        kill -TERM -- "-$group" 2>/dev/null
    done
    for group in "${peer_groups[@]}"; do
        for _ in $(seq 100); do
            kill -0 -- "-$group" 2>/dev/null || break
            sleep 0.05
        done
        kill -KILL -- "-$group" 2>/dev/null
        wait "$group" 2>/dev/null
    done
    peer_groups=()
}

# reef-listserver with its demo alliance on a port the system picks. Sets list_port and
# list_password; its log is $work/listserver.log.
start_list_server() {
    local server line
    server=$(find_list_server) || return 1
    start_peer "$work/listserver.log" "$server" serve --listen 127.0.0.1:0 --db "$work/lists.sqlite" --demo
    for _ in $(seq 500); do
        line=$(grep -m1 -o 'listening on 127\.0\.0\.1:[0-9]*' "$work/listserver.log")
        if [ -n "$line" ]; then
            list_port=${line##*:}
            # A server without a terminal keeps the new demo password in a file of its own.
            list_password=$(cat "$work/lists.sqlite.demo-password" 2>/dev/null ||
                sed -n 's/^Demo alliance "Demo", list password: //p' "$work/listserver.log")
            echo "list server on port $list_port, demo password $list_password"
            [ -n "$list_password" ]
            return
        fi
        kill -0 "$peer_pid" 2>/dev/null || break
        sleep 0.02
    done
    echo "FAIL: reef-listserver did not start:"
    cat "$work/listserver.log"
    return 1
}

# Starts a proxy whose config or arguments name the port as {port}; retried with another
# port when the chosen one was taken meanwhile. Sets proxy_port; the log is $work/NAME.log.
start_proxy() { # name config-text command...
    local name=$1 config=$2
    shift 2
    local tries port args arg
    for tries in 1 2 3 4 5; do
        port=$(free_port) || return 1
        printf '%s' "${config//\{port\}/$port}" >"$work/$name.conf"
        args=()
        for arg in "$@"; do
            arg=${arg//\{port\}/$port}
            args+=("${arg//\{dir\}/$work}")
        done
        start_peer "$work/$name.log" "${args[@]}"
        for _ in $(seq 250); do
            if port_listens "$port"; then
                proxy_port=$port
                echo "$name on port $port"
                return 0
            fi
            kill -0 "$peer_pid" 2>/dev/null || break
            sleep 0.02
        done
        kill -KILL -- "-$peer_pid" 2>/dev/null
        wait "$peer_pid" 2>/dev/null
    done
    echo "FAIL: $name does not start:"
    cat "$work/$name.log"
    return 1
}

# The settings files the program reads beside itself.
write_server_dat() { # folder host port
    printf 'Host = %s\r\nPort = %s\r\nPasswortSeite = Allianzforum\r\n' "$2" "$3" >"$1/Server.dat"
}

write_proxy_dat() { # folder port type user password
    printf 'IP = 127.0.0.1\r\nPort = %s\r\nTyp = %s\r\nUserID = %s\r\nUserPass = %s\r\n' \
        "$2" "$3" "$4" "$5" >"$1/Proxy.dat"
}

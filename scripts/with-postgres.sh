#!/usr/bin/env bash
# Runs a command beside a throwaway PostgreSQL cluster (Debian's postgresql package): initdb in
# a temporary folder, a Unix socket in that folder and no TCP port, trust authentication for
# the user "reef". The command finds the cluster in REEF_TEST_POSTGRES, a libpq connection URI
# of its database "postgres". The server is stopped by its process id and the folder removed
# when the command ends, also when it fails or the script is interrupted. Exits with the
# command's status.
#
#   scripts/with-postgres.sh [--durable] COMMAND [ARGUMENTS...]
#
# Without --durable the cluster skips its disk syncs (fsync=off), which is what tests want; the
# load test passes --durable so that every commit is on disk as in production.
set -uo pipefail

durable=off
if [ "${1:-}" = "--durable" ]; then
    durable=on
    shift
fi
if [ $# -eq 0 ]; then
    echo "usage: $0 [--durable] COMMAND [ARGUMENTS...]" >&2
    exit 2
fi

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
    echo "PostgreSQL is not installed (Debian package postgresql)" >&2
    exit 1
fi

dir=$(mktemp -d /tmp/reef-pg.XXXXXX)
chmod 755 "$dir"
pg_pid=""
# PostgreSQL refuses to run as root: then the cluster belongs to the package's own user.
as_owner=()
if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$dir"
    as_owner=(setpriv --reuid=postgres --regid=postgres --init-groups --)
fi

stop_cluster() {
    if [ -n "$pg_pid" ] && kill -0 "$pg_pid" 2>/dev/null; then
        kill -INT "$pg_pid" 2>/dev/null # fast shutdown: open sessions are ended
        for _ in $(seq 100); do
            kill -0 "$pg_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pg_pid" 2>/dev/null
    fi
    rm -rf "$dir"
}
trap stop_cluster EXIT
trap 'exit 130' INT TERM

if ! "${as_owner[@]}" "$bin/initdb" -D "$dir/data" -U reef --auth=trust -E UTF8 --no-sync \
    >"$dir/initdb.log" 2>&1; then
    cat "$dir/initdb.log" >&2
    echo "initdb failed" >&2
    exit 1
fi

"${as_owner[@]}" "$bin/postgres" -D "$dir/data" -k "$dir" -c listen_addresses= \
    -c fsync=$durable -c full_page_writes=$durable -c max_connections=200 \
    >"$dir/server.log" 2>&1 &
pg_pid=$!

for _ in $(seq 100); do
    "$bin/pg_isready" -q -h "$dir" && break
    if ! kill -0 "$pg_pid" 2>/dev/null; then
        cat "$dir/server.log" >&2
        echo "the PostgreSQL server did not start" >&2
        exit 1
    fi
    sleep 0.1
done
if ! "$bin/pg_isready" -q -h "$dir"; then
    cat "$dir/server.log" >&2
    echo "the PostgreSQL server did not get ready" >&2
    exit 1
fi

export REEF_TEST_POSTGRES="postgresql:///postgres?host=$dir&user=reef"
"$@"
status=$?
exit "$status"

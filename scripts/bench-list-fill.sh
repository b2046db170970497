#!/usr/bin/env bash
# Benchmark of the list windows with long lists (not a test: it prints figures, it asserts
# nothing). Starts a real reef-listserver on loopback, fills the enemy lists of two alliances
# with 200 and 2000 entries, and runs bench_list_fill (the program's own windows, event loop
# and download worker) for each, in the Windows build under Wine and in the GTK build, each in
# a private Xvfb display. For each it prints:
#   download   press of "Liste Aktualisieren" until the rows are shown and the buttons free,
#              and the longest stall of the user-interface thread meanwhile;
#   countdown  the countdown rewrite of a new 20-minute slot;
#   cache      the opening of the list window from a cache file holding the rows.
#
# Usage: scripts/bench-list-fill.sh        (builds what it needs: the windows and linux presets'
#                                           bench_list_fill, the linux preset's reef-listserver)
# Settings: SIZES (default "200 2000"), SKIP_WINE=1, SKIP_GTK=1, NO_BUILD=1 (runs what is built),
#           KEEP=DIR (keeps the working folders).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
SIZES=${SIZES:-"200 2000"}
LINUX_BUILD=$ROOT/build/linux
WINDOWS_BUILD=$ROOT/build/windows

# shellcheck source=packages.sh
source "$ROOT/scripts/packages.sh"
if [ "$(id -u)" = 0 ]; then
    reef_install_packages "${REEF_BUILD_PACKAGES[@]}" "${REEF_RUN_PACKAGES[@]}" \
        "${REEF_TEST_PACKAGES[@]}" python3
fi

cd "$ROOT"
if [ "${NO_BUILD:-0}" != 1 ]; then
    [ -f "$LINUX_BUILD/CMakeCache.txt" ] || cmake --preset linux >/dev/null
    cmake --build "$LINUX_BUILD" -j2 --target reef-listserver bench_list_fill >/dev/null
    if [ "${SKIP_WINE:-0}" != 1 ]; then
        [ -f "$WINDOWS_BUILD/CMakeCache.txt" ] || cmake --preset windows >/dev/null
        cmake --build "$WINDOWS_BUILD" -j2 --target bench_list_fill >/dev/null
    fi
fi

WORK=$(mktemp -d /tmp/reef-list-fill-bench-XXXXXX)
SERVER_PID=
XVFB_PID=
WINEPREFIX=$WINDOWS_BUILD/wineprefix
export WINEPREFIX WINEDEBUG=-all
cleanup() {
    # KEEP=DIR keeps the working folders (Server.dat, the cache files the runs wrote) there.
    [ -n "${KEEP:-}" ] && mkdir -p "$KEEP" && cp -r "$WORK"/wine-* "$WORK"/gtk-* "$KEEP"/ 2>/dev/null
    [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null && wait "$SERVER_PID" 2>/dev/null
    if [ "${SKIP_WINE:-0}" != 1 ] && [ -d "$WINEPREFIX" ]; then
        wineserver -k 2>/dev/null || true
    fi
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

# A private X display from :120 on.
display=120
while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY=":$display"
for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done

# The list server, with one alliance per list size.
DB=$WORK/lists.sqlite
for size in $SIZES; do
    echo "bench-password-$size" | "$LINUX_BUILD/listserver/reef-listserver" alliance add "Bench$size" \
        --db "$DB" >/dev/null 2>&1
done
"$LINUX_BUILD/listserver/reef-listserver" serve --listen 127.0.0.1:0 --db "$DB" \
    --connections-per-address 256 --writes-per-minute 1000000000 \
    --alliance-writes-per-minute 1000000000 2>"$WORK/server.log" &
SERVER_PID=$!
PORT=
for _ in $(seq 1 500); do
    PORT=$(grep -o 'listening on 127.0.0.1:[0-9]*' "$WORK/server.log" | sed 's/.*://' || true)
    [ -n "$PORT" ] && break
    sleep 0.02
done
[ -n "$PORT" ] || { cat "$WORK/server.log"; exit 1; }

# Entries as an alliance at war has them: every help code and mission, some fields not given,
# entered by someone else than the target, times spread over the day.
for size in $SIZES; do
    python3 - "$PORT" "bench-password-$size" "$size" <<'PY'
import socket, sys
port, password, count = int(sys.argv[1]), sys.argv[2], int(sys.argv[3])
for i in range(1, count + 1):
    fields = [
        ("Info1", password), ("Info2", "Reef_Enemy"), ("Info3", "New"),
        ("Hilfe", i % 6), ("Name", "Spieler_%d" % i),
        ("Allianz", "" if i % 7 == 0 else "Korallen"),
        ("Basis", "%d:%d:%d" % (i % 9, i % 400, i % 12)),
        ("Punkte", 0 if i % 11 == 0 else i * 15731), ("Schiffe", i * 37), ("Modus", i % 3),
        ("ZielName", "Ziel_%d" % i), ("ZielAllianz", "" if i % 5 == 0 else "Haie"),
        ("ZielBasis", "4:%d:7" % i), ("ZielPunkte", 0 if i % 13 == 0 else i * 9973),
        ("Von", "ziel_%d" % i if i % 3 == 0 else "Melder_%d" % (i % 17)),
        ("BasisZeit", (i * 97) % 86400), ("ZielZeit", "" if i % 8 == 0 else (i * 61) % 86400),
    ]
    query = "&".join("%s=%s" % (k, v) for k, v in fields)
    with socket.create_connection(("127.0.0.1", port)) as s:
        s.sendall(("GET http://127.0.0.1/Reef-Update.php?%s HTTP/1.0\r\n\r\n" % query).encode())
        answer = b""
        while True:
            block = s.recv(4096)
            if not block:
                break
            answer += block
    if not answer.endswith(b"ready"):
        sys.exit("filling the list failed at %d: %r" % (i, answer[-200:]))
PY
done

run_bench() { # label program-and-arguments...
    local label=$1
    shift
    for size in $SIZES; do
        local dir=$WORK/$label-$size
        mkdir -p "$dir"
        printf 'Host = 127.0.0.1\r\nPort = %s\r\n' "$PORT" >"$dir/Server.dat"
        echo "-- $label, $size entries"
        (cd "$dir" && "$@" "bench-password-$size" enemy) || echo "   (the bench ended with status $?)"
    done
}

echo "reef list windows benchmark: $(nproc) cores, list server on 127.0.0.1:$PORT"
if [ "${SKIP_WINE:-0}" != 1 ]; then
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -d "$WINEPREFIX" ]; then
        wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
    # No window manager runs on the private display: Wine draws the frames itself, as in
    # scripts/test.sh.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    echo "== Windows build under Wine ($(wine --version))"
    run_bench wine wine "$WINDOWS_BUILD/bench/bench_list_fill.exe"
fi
if [ "${SKIP_GTK:-0}" != 1 ]; then
    echo "== GTK build"
    GTK_IM_MODULE=gtk-im-context-simple NO_AT_BRIDGE=1 run_bench gtk "$LINUX_BUILD/bench/bench_list_fill"
fi

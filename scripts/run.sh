#!/usr/bin/env bash
# Builds Reef - Tools and a local list server, starts the server with a demo alliance (its
# name and list password are printed) and the program on the current X display: the native
# Linux build (reef-tools, GTK 3), or with REEF_RUN_WINE=1 the Windows build under Wine.
# The program runs in build/run, beside a Server.dat that names the server; the server stops
# when the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
if [ -z "${DISPLAY:-}" ]; then
    echo "No display: set DISPLAY to an X server (for example: Xvfb :1 & export DISPLAY=:1) to run Reef - Tools." >&2
    exit 1
fi
. scripts/packages.sh
reef_install_packages "${REEF_BUILD_PACKAGES[@]}" "${REEF_RUN_PACKAGES[@]}"

run_dir=build/run
mkdir -p "$run_dir"
wine_build=${REEF_RUN_WINE:-0}
echo "Building the list server and the program (log: build/build-run.log)"
{
    cmake --preset native-release &&
        cmake --build --preset native-release -j"$(nproc)" --target reef-listserver &&
        if [ "$wine_build" = 1 ]; then
            cmake --preset windows && cmake --build --preset windows -j"$(nproc)" --target ReefTools
        else
            cmake --preset linux && cmake --build --preset linux -j"$(nproc)" --target reef-tools
        fi
} >build/build-run.log 2>&1 || {
    tail -n 40 build/build-run.log
    exit 1
}

# The demo alliance keeps its password from one run to the next: the program remembers the
# password in its list files, and a fresh one at every start would be refused there.
db=$run_dir/demo-lists.sqlite
password_file=$run_dir/demo-password
demo=()
if [ ! -s "$password_file" ] || [ ! -f "$db" ]; then
    demo=(--demo)
    rm -f "$password_file"
fi
log=$run_dir/listserver.log
# Port 0: the server takes a free port and names it; Server.dat passes it on to the program.
build/native-release/listserver/reef-listserver serve --listen 127.0.0.1:0 --db "$db" \
    "${demo[@]}" >"$log" 2>&1 &
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null' EXIT
port=""
for _ in $(seq 100); do
    port=$(sed -n 's/^reef-listserver: listening on 127\.0\.0\.1:\([0-9]*\) .*/\1/p' "$log")
    [ -n "$port" ] && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$port" ]; then
    cat "$log"
    echo "The list server did not start." >&2
    exit 1
fi
if [ ${#demo[@]} -gt 0 ]; then
    # Without a terminal the server keeps the new demo password in a file beside its database.
    cat "$db.demo-password" >"$password_file" 2>/dev/null ||
        sed -n 's/^Demo alliance "Demo", list password: //p' "$log" >"$password_file"
fi
password=$(cat "$password_file")

# Written the way the program writes its settings files: Windows-1252, CR LF.
printf 'Host = 127.0.0.1\r\nPort = %s\r\nPasswortSeite = Ausgabe von scripts/run.sh\r\n' \
    "$port" >"$run_dir/Server.dat"

echo "List server on 127.0.0.1:$port (log: $log)"
echo "Demo alliance \"Demo\", list password: $password"
echo "In the program: \"Verbündete Flotten\", enter the password, \"Neuer Eintrag\", then \"Liste Aktualisieren\"."

# The program keeps its files in its working directory and reads Server.dat from there.
cd "$run_dir"
if [ "$wine_build" = 1 ]; then
    export WINEPREFIX="${WINEPREFIX:-$root/build/run-wineprefix}" WINEDEBUG=-all
    wine "$root/build/windows/ReefTools.exe" "$@"
else
    "$root/build/linux/reef-tools" "$@"
fi

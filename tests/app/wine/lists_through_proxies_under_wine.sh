#!/usr/bin/env bash
# The download of the real ReefTools.exe under Wine through real proxies, configured in
# "Proxy.dat" and switched on with the start argument "Proxy": tinyproxy (HTTP CONNECT
# without and with Basic credentials), dante (SOCKS4, the list server given by its numeric
# address) and microsocks (SOCKS5 with user name and password). Each proxy's log must show
# the connection to the list server. Arguments: fleet_lists_probe and ReefTools.exe (Linux
# paths). Needs DISPLAY and WINEPREFIX.
set -u
here=$(dirname "$0")
probe=$(winepath -w "$1")
exe=$(winepath -w "$2")
work=$(mktemp -d)
# dante reads its files after switching to an unprivileged user.
chmod 755 "$work"
status=0
. "$here/list_server_peers.sh"

finish() {
    if [ "$status" -ne 0 ]; then
        wineserver -k 2>/dev/null
    fi
    stop_peers
    rm -rf "$work"
    echo "lists through proxies under Wine: $([ "$status" -eq 0 ] && echo passed || echo FAILED)"
    exit "$status"
}
trap finish EXIT

start_list_server || { status=1; exit; }

# One allied entry on the server, sent as the program sends it; the proxies carry its
# download.
now_of_day=$((10#$(date +%H) * 3600 + 10#$(date +%M) * 60))
return_time=$(((now_of_day + 5 * 3600) % 86400 / 1200 * 1200))
shown_return=$(printf '%02d:%02d:00' $((return_time / 3600)) $((return_time % 3600 / 60)))
answer=$(curl -s "http://127.0.0.1:$list_port/Reef-Update.php?Info1=$list_password&Info2=Reef_Frend&Info3=New&Hilfe=1&Name=Durch_den_Proxy&Basis=1:2:3&Schiffe=42&Modus=2&ZielName=Ziel&ZielBasis=4:5:6&BasisZeit=$return_time")
if [ "${answer:0:5}" != "ready" ]; then
    echo "FAIL: the list server did not take the entry: $answer"
    status=1
    exit
fi

tinyproxy_config='Port {port}
Listen 127.0.0.1
Timeout 60
MaxClients 20
Allow 127.0.0.1
LogLevel Info
'
dante_config='logoutput: stderr
internal: 127.0.0.1 port = {port}
external: 127.0.0.1
clientmethod: none
socksmethod: none
'
if [ "$(id -u)" -eq 0 ]; then
    dante_config+='user.privileged: root
user.unprivileged: nobody
'
fi
dante_config+='client pass {
  from: 127.0.0.0/8 to: 0.0.0.0/0
}
socks pass {
  from: 0.0.0.0/0 to: 0.0.0.0/0
  command: connect
  log: connect
}
'

# One program run: Server.dat and Proxy.dat, a cache file with the password, start with
# "Proxy", open the allied list, download, read the row, end.
through() { # name host type user password
    local name=$1 host=$2 type=$3 user=$4 password=$5
    local app="$work/app-$name" windir
    mkdir -p "$app"
    windir=$(winepath -w "$app")
    write_server_dat "$app" "$host" "$list_port"
    write_proxy_dat "$app" "$proxy_port" "$type" "$user" "$password"
    printf '0\tHilfe\n1\tDurch_den_Proxy\n5\t42\n6\tAngreifen\n14\t%s\n' "$shown_return" \
        >"$app/expected-allied.txt"
    wine "$probe" cache "$windir" allied "$list_password" || status=1
    wine "$probe" start "$exe" "$windir" Proxy || { status=1; return; }
    wine "$probe" open "$windir" allied || status=1
    wine "$probe" download "$windir" allied || status=1
    wine "$probe" rows "$windir" allied || status=1
    wine "$probe" quit "$windir" || status=1
    local line
    line=$(grep -m1 -E "[^0-9]$list_port([^0-9]|\$)" "$work/$name.log")
    if [ -n "$line" ]; then
        echo "ok: the $name log shows the connection to port $list_port: $line"
    else
        echo "FAIL: the $name log does not show the connection to port $list_port:"
        tail -n 20 "$work/$name.log"
        status=1
    fi
}

echo "== tinyproxy, HTTP CONNECT without credentials"
start_proxy tinyproxy "$tinyproxy_config" tinyproxy -d -c '{dir}/tinyproxy.conf' || { status=1; exit; }
through tinyproxy localhost 0 "" ""

echo "== tinyproxy, HTTP CONNECT with Basic credentials"
start_proxy tinyproxy-auth "$tinyproxy_config"'BasicAuth reef geheim
' tinyproxy -d -c '{dir}/tinyproxy-auth.conf' || { status=1; exit; }
through tinyproxy-auth localhost 0 reef geheim

echo "== dante, SOCKS4 with the numeric address"
start_proxy dante "$dante_config" danted -f '{dir}/dante.conf' -p '{dir}/dante.pid' -N 1 || { status=1; exit; }
through dante 127.0.0.1 1 reef ""

echo "== microsocks, SOCKS5 with user name and password"
start_proxy microsocks "" microsocks -i 127.0.0.1 -p '{port}' -u reef -P geheim || { status=1; exit; }
through microsocks localhost 2 reef geheim

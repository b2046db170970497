#!/usr/bin/env python3
"""Resident memory of reef-listserver while slow clients download a full list.

Fills one list with 2000 entries of 100-byte values (the largest list the server keeps),
then opens READERS connections on loopback (8 per source address, 127.0.1.x) that each ask
for the list and read nothing, and prints the server's resident memory before and while they
wait. Not a test: it prints figures and asserts nothing; it stops by itself.

With --page, both lists are filled with 2000 entries whose texts are 100 bytes of "<" (six
bytes each in JSON), and the readers ask for the browser page's /api/lists instead, each
with the session cookie of a login (one session per 8 readers).

Usage: scripts/listserver-slow-readers.py [BINARY] [READERS] [--page]
       (default build/native-release/listserver/reef-listserver, 500 readers)
Extra arguments for "serve" come from the environment variable SERVE_ARGS.
"""
import os
import re
import shlex
import socket
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PAGE = "--page" in sys.argv[1:]
ARGS = [arg for arg in sys.argv[1:] if arg != "--page"]
BINARY = ARGS[0] if len(ARGS) > 0 else os.path.join(
    ROOT, "build/native-release/listserver/reef-listserver")
READERS = int(ARGS[1]) if len(ARGS) > 1 else 500
PASSWORD = "slow-readers-pw"


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return -1


def tcp_buffer_kib():
    """Memory of every TCP socket buffer of this machine (the kernel's side of the readers)."""
    with open("/proc/net/sockstat") as sockstat:
        for line in sockstat:
            if line.startswith("TCP:"):
                fields = line.split()
                return int(fields[fields.index("mem") + 1]) * os.sysconf("SC_PAGE_SIZE") // 1024
    return -1


def ask(port, target, source="127.0.0.1"):
    with socket.create_connection(("127.0.0.1", port), timeout=30,
                                  source_address=(source, 0)) as conn:
        conn.sendall(f"GET {target} HTTP/1.0\r\n\r\n".encode("latin-1"))
        data = b""
        while chunk := conn.recv(65536):
            data += chunk
    return data.split(b"\r\n\r\n", 1)[-1]


def login(port):
    """The Cookie header of a session of the alliance."""
    form = f"passwort={PASSWORD}"
    with socket.create_connection(("127.0.0.1", port), timeout=30) as conn:
        conn.sendall((f"POST /login HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                      f"Content-Type: application/x-www-form-urlencoded\r\n"
                      f"Content-Length: {len(form)}\r\nConnection: close\r\n\r\n{form}")
                     .encode())
        data = b""
        while chunk := conn.recv(65536):
            data += chunk
    found = re.search(rb"Set-Cookie: (reef_sitzung=[0-9a-f]+)", data)
    if not found:
        sys.exit("the login failed: " + data[:200].decode("latin-1"))
    return "Cookie: " + found.group(1).decode() + "\r\n"


def fill(port, base, lists, letter):
    for kind in lists:
        for i in range(2000):
            long = (f"{i:04d}" + letter * 96) if letter == "x" else letter * 100
            keys = (f"&Hilfe=1&Name={long}&Allianz={long}&Basis={long}&Punkte=123456789"
                    f"&Schiffe=99999&Modus=2&ZielName={long}&ZielAllianz={long}"
                    f"&ZielBasis={long}&ZielPunkte=987654321&BasisZeit=49200&Von={long}"
                    f"&ZielZeit=48000")
            # Spread over source addresses, as the members of an alliance are.
            answer = ask(port, base.replace("LIST", kind) + "New" + keys,
                         f"127.0.2.{1 + i % 250}")
            if answer != b"ready":
                sys.exit(f"filling {kind} failed at {i}: {answer[:40]!r}")


def main():
    with tempfile.TemporaryDirectory(prefix="reef-slow-readers-") as work:
        db = os.path.join(work, "lists.sqlite")
        subprocess.run([BINARY, "alliance", "add", "Slow", "--db", db],
                       input=PASSWORD + "\n", text=True, check=True, capture_output=True)
        log = open(os.path.join(work, "server.log"), "w+")
        budgets = ["--alliance-writes-per-minute", "100000"] if PAGE else []
        server = subprocess.Popen([BINARY, "serve", "--listen", "127.0.0.1:0", "--db", db] +
                                  budgets + shlex.split(os.environ.get("SERVE_ARGS", "")),
                                  stdout=log, stderr=log)
        try:
            port = None
            for _ in range(500):
                log.seek(0)
                found = re.search(r"listening on 127\.0\.0\.1:(\d+)[ \n]", log.read())
                if found:
                    port = int(found.group(1))
                    break
                time.sleep(0.02)
            if port is None:
                log.seek(0)
                sys.exit("the server did not start:\n" + log.read())
            base = f"/Reef-Update.php?Info1={PASSWORD}&Info2=LIST&Info3="
            if PAGE:
                fill(port, base, ["Reef_Frend", "Reef_Enemy"], "%3C")
                sessions = [login(port) for _ in range((READERS + 7) // 8)]
                request = lambda i: (f"GET /api/lists HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                     f"{sessions[i // 8]}Connection: close\r\n\r\n")
                answered_mark = '"GET /api/lists" 200'
                body = b""  # asked only by the readers: its build counts in the growth
            else:
                fill(port, base, ["Reef_Enemy"], "x")
                base = base.replace("LIST", "Reef_Enemy")
                request = lambda i: f"GET {base}Update HTTP/1.0\r\n\r\n"
                answered_mark = " list "
                body = ask(port, base + "Update")
            time.sleep(0.5)
            idle = rss_kib(server.pid)
            idle_tcp = tcp_buffer_kib()
            readers = []
            for i in range(READERS):
                conn = socket.socket()
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
                conn.bind((f"127.0.1.{1 + i // 8}", 0))
                conn.settimeout(5)
                try:
                    conn.connect(("127.0.0.1", port))
                    conn.sendall(request(i).encode())
                    readers.append(conn)
                except OSError:
                    conn.close()
            # Until every reader has been answered (the server cuts them after 15 s).
            answered = 0
            for _ in range(140):
                time.sleep(0.1)
                log.seek(0)
                answered = log.read().count(answered_mark) - (0 if PAGE else 1)
                if answered >= len(readers):
                    break
            time.sleep(0.5)
            waiting = rss_kib(server.pid)
            waiting_tcp = tcp_buffer_kib()
            if PAGE:
                log.seek(0)
                sizes = re.findall(r'"GET /api/lists" 200 (\d+) B', log.read())
                print(f"JSON of both lists: {sizes[0] if sizes else '?'} bytes; "
                      f"slow readers connected: {len(readers)}, answered: {answered}")
            else:
                print(f"list body: {len(body)} bytes; slow readers connected: {len(readers)}, "
                      f"lists answered: {answered}")
            print(f"server resident memory: idle {idle / 1024:.1f} MiB, "
                  f"with the slow readers {waiting / 1024:.1f} MiB "
                  f"(growth {(waiting - idle) / 1024:.1f} MiB)")
            print(f"TCP buffers of the machine: idle {idle_tcp / 1024:.1f} MiB, "
                  f"with the slow readers {waiting_tcp / 1024:.1f} MiB")
            for conn in readers:
                conn.close()
        finally:
            server.terminate()
            server.wait(timeout=30)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""How soon the browser page hears of a write: the time from a desktop program's "New" request
until "event: lists" arrives on an open live stream (GET /api/events) of the same alliance.

Starts reef-listserver on a fresh database in a temporary folder, logs a page in, opens its
stream, sends WRITES program requests one after another (with a pause between them that does
not divide the server's half-second look) and prints the median and the longest time, the
write's own disk sync included. Not a test: it prints figures and asserts nothing.

Usage: scripts/listserver-events-latency.py [BINARY] [WRITES]
       (default build/native-release/listserver/reef-listserver, 20 writes)
"""
import os
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

PASSWORD = "pw-korallen"


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def read_until(connection, marker):
    received = b""
    while marker not in received:
        chunk = connection.recv(4096)
        if not chunk:
            raise RuntimeError("the stream ended")
        received += chunk
    return received


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else "build/native-release/listserver/reef-listserver"
    writes = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    with tempfile.TemporaryDirectory() as folder:
        db = os.path.join(folder, "lists.sqlite")
        subprocess.run([binary, "alliance", "add", "Korallen", "--db", db],
                       input=(PASSWORD + "\n").encode(), capture_output=True, check=True)
        port = free_port()
        with open(os.path.join(folder, "server.log"), "w") as log:
            server = subprocess.Popen([binary, "serve", "--listen", f"127.0.0.1:{port}",
                                       "--db", db], stderr=log)
        try:
            time.sleep(1)
            form = "passwort=" + PASSWORD
            with socket.create_connection(("127.0.0.1", port)) as login:
                login.sendall((f"POST /login HTTP/1.0\r\nContent-Type: "
                               f"application/x-www-form-urlencoded\r\nContent-Length: "
                               f"{len(form)}\r\n\r\n{form}").encode())
                answer = read_until(login, b"\r\n\r\n").decode()
            cookie = next(line.split(":", 1)[1].split(";")[0].strip()
                          for line in answer.split("\r\n")
                          if line.lower().startswith("set-cookie:"))
            stream = socket.create_connection(("127.0.0.1", port))
            stream.sendall(f"GET /api/events HTTP/1.0\r\nCookie: {cookie}\r\n\r\n".encode())
            read_until(stream, b"event: lists")
            times = []
            for i in range(writes):
                started = time.monotonic()
                urllib.request.urlopen(
                    f"http://127.0.0.1:{port}/Reef-Update.php?Info1={PASSWORD}&Info2=Reef_Frend"
                    f"&Info3=New&Hilfe=0&Name=P{i}&Basis=1&Schiffe=2&Modus=1&ZielName=Z"
                    f"&ZielBasis=2&BasisZeit=1200").read()
                read_until(stream, b"event: lists")
                times.append(time.monotonic() - started)
                time.sleep(0.137)
            stream.close()
        finally:
            server.terminate()
            server.wait()
    times.sort()
    print(f"write to 'event: lists' over {writes} program writes: "
          f"median {times[len(times) // 2] * 1000:.0f} ms, longest {times[-1] * 1000:.0f} ms "
          f"(promised: 2000 ms)")


if __name__ == "__main__":
    main()

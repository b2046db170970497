#!/usr/bin/env python3
"""Logs in to the browser page of a reef-listserver on loopback many times, for benchmarks.

Usage: listserver-sessions.py PORT COUNT OUT PASSWORD...

Makes COUNT sessions, spread evenly over the passwords (alliances) and over as many loopback
source addresses (127.0.x.y) as the server's own limits ask for: at most 10 logins a minute
and 50 sessions per address, 1000 sessions per alliance. Writes the cookie of each session
("reef_sitzung=..."), one a line, to OUT. Fails when a login is not answered with a session.
"""
import http.client
import sys

LOGINS_PER_ADDRESS = 10
SESSIONS_PER_ALLIANCE = 1000


def login(port, password, source):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10,
                                            source_address=(source, 0))
    body = "passwort=" + password
    connection.request("POST", "/login", body, {
        "Host": "127.0.0.1",
        "Content-Type": "application/x-www-form-urlencoded",
        "Connection": "close",
    })
    answer = connection.getresponse()
    answer.read()
    cookie = answer.getheader("Set-Cookie") or ""
    connection.close()
    if answer.status != 303 or not cookie.startswith("reef_sitzung="):
        raise SystemExit(f"login from {source} answered {answer.status}, no session")
    return cookie.split(";", 1)[0]


def main():
    port, count, out = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    passwords = sys.argv[4:]
    if count > len(passwords) * SESSIONS_PER_ALLIANCE:
        raise SystemExit(f"{count} sessions need more than {len(passwords)} alliances")
    cookies = []
    for i in range(count):
        address = i // LOGINS_PER_ADDRESS
        source = f"127.0.{1 + address // 250}.{1 + address % 250}"
        cookies.append(login(port, passwords[i % len(passwords)], source))
    with open(out, "w", encoding="ascii") as file:
        file.write("\n".join(cookies) + "\n")


main()

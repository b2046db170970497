#!/usr/bin/env python3
"""Stands in for a GoogleTest executable: the case's name says how it ends.

Pass*: passes. Fail*: fails as GoogleTest reports a failed expectation. Crash*: the process
dies at once without a report. Alone*: passes, but when another case shares its process, the
process ends with status 23 after its report (a leak check at exit that finds what a
neighbour left). With LEAK=1 in the environment every run passes its cases
and then ends with status 23, as a leak check at exit does. Each run appends its filter to
runs.log in the working directory.
"""
import json
import os
import sys

args = dict(a.split("=", 1) for a in sys.argv[1:] if "=" in a)
cases = args["--gtest_filter"].split(":")
with open("runs.log", "a") as log:
    log.write(args["--gtest_filter"] + "\n")
results = []
for case in cases:
    print(f"[ RUN      ] {case}")
    suite, name = case.split(".", 1)
    if suite.startswith("Crash"):
        os.abort()
    failed = suite.startswith("Fail")
    if failed:
        print(f"fake.cpp:1: Failure in {case}")
        print(f"[  FAILED  ] {case} (0 ms)")
    else:
        print(f"[       OK ] {case} (0 ms)")
    results.append((suite, name, failed))
if "--gtest_output" in args:
    suites = {}
    for suite, name, failed in results:
        case = {"name": name, "result": "COMPLETED", "time": "0.001s"}
        if failed:
            case["failures"] = [{"failure": "fake.cpp:1", "type": ""}]
        suites.setdefault(suite, []).append(case)
    report = {"testsuites": [{"name": s, "testsuite": c} for s, c in suites.items()]}
    with open(args["--gtest_output"][len("json:"):], "w") as f:
        json.dump(report, f)
if os.environ.get("LEAK") == "1" or (any(c.startswith("Alone") for c in cases) and len(cases) > 1):
    sys.exit(23)
sys.exit(1 if any(f for _, _, f in results) else 0)

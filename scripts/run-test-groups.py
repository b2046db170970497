#!/usr/bin/env python3
"""Runs the GoogleTest cases that ctest knows, a batch of cases per process instead of one.

ctest starts one process per test case (gtest_discover_tests): under the sanitizers a process
costs ~0.08 s of CPU to start and to check for leaks at its end, a GTK test ~0.5 s to open its
display, which is more than most cases take. This runs the same cases with the same command,
working directory, environment and resources, but the cases of one command in batches of up to
--batch cases per process (the longest batches first), and counts every case as ctest would: the summary
line is ctest's, "N% tests passed, N tests failed out of N", over the same cases.

A batch whose process fails without naming the failed cases in its report (a crash, a
sanitizer report at exit, a timeout) runs again one case per process, so that every case gets
a result of its own; a batch that failed as a whole while each of its cases passes alone counts
as one failure more, never as a pass.

Usage: run-test-groups.py --test-dir DIR [-L REGEX] [-LE REGEX] [-j N] [--timeout S]
                          [--batch N] [--resources FILE]
"""

import argparse
import json
import os
import re
import subprocess
import sys
import tempfile
import threading
import time
from concurrent.futures import ThreadPoolExecutor

FILTER = "--gtest_filter="


class Test:
    """One ctest test as `ctest -N --show-only=json-v1` describes it."""

    def __init__(self, number, raw):
        self.number = number
        self.name = raw["name"]
        self.command = raw.get("command") or []
        props = {p["name"]: p["value"] for p in raw.get("properties", [])}
        self.cwd = props.get("WORKING_DIRECTORY")
        self.env = props.get("ENVIRONMENT", [])
        self.resources = props.get("RESOURCE_GROUPS", [])
        self.lock = props.get("RESOURCE_LOCK", [])
        self.skip_regex = props.get("SKIP_REGULAR_EXPRESSION", [])
        self.timeout = props.get("TIMEOUT")
        filters = [i for i, a in enumerate(self.command) if a.startswith(FILTER)]
        # A case of a GoogleTest executable: its command names exactly one case.
        self.case = None
        self.filter_at = None
        if len(filters) == 1 and ":" not in self.command[filters[0]]:
            self.filter_at = filters[0]
            self.case = self.command[self.filter_at][len(FILTER):]

    def group_key(self):
        if self.case is None:
            return ("single", self.number)
        command = tuple(self.command[: self.filter_at] + ["*"] + self.command[self.filter_at + 1 :])
        return (command, self.cwd, tuple(self.env), json.dumps(self.resources, sort_keys=True),
                tuple(self.lock))


class Resources:
    """ctest's resource allocation, for the resources a file in ctest's format lists (X displays)."""

    def __init__(self, resource_file):
        self.free = {}
        self.cond = threading.Condition()
        self.locks = set()
        if resource_file:
            with open(resource_file) as f:
                layout = json.load(f)
            for kind, items in layout["local"][0].items():
                self.free[kind] = {str(i["id"]): int(i.get("slots", 1)) for i in items}

    def _needs(self, test):
        needs = []
        for group in test.resources:
            for req in group["requirements"]:
                needs.append((req[".type"], int(req.get("slots", 1))))
        return needs

    def _try_take(self, test):
        if any(lock in self.locks for lock in test.lock):
            return None
        taken = []
        for kind, slots in self._needs(test):
            pool = self.free.get(kind)
            if pool is None:
                raise SystemExit(f"no resource \"{kind}\" for {test.name}: give --resources")
            ident = next((i for i, n in pool.items() if n >= slots), None)
            if ident is None:
                for k, i, s in taken:
                    self.free[k][i] += s
                return None
            pool[ident] -= slots
            taken.append((kind, ident, slots))
        self.locks.update(test.lock)
        return taken

    def take(self, test):
        with self.cond:
            while True:
                taken = self._try_take(test)
                if taken is not None:
                    return taken
                self.cond.wait()

    def give_back(self, test, taken):
        with self.cond:
            for kind, ident, slots in taken:
                self.free[kind][ident] += slots
            self.locks.difference_update(test.lock)
            self.cond.notify_all()

    @staticmethod
    def environment(taken):
        """The variables ctest sets for a test that it gave resources to."""
        if not taken:
            return {}
        env = {"CTEST_RESOURCE_GROUP_COUNT": str(len(taken))}
        for n, (kind, ident, slots) in enumerate(taken):
            env[f"CTEST_RESOURCE_GROUP_{n}"] = kind
            env[f"CTEST_RESOURCE_GROUP_{n}_{kind.upper()}"] = f"id:{ident},slots:{slots}"
        return env


class Runner:
    def __init__(self, args, resources, times):
        self.args = args
        self.resources = resources
        self.times = times
        self.print_lock = threading.Lock()
        self.results = {}  # test number -> (passed, detail)
        self.extra_failures = []  # (name, output): a batch that failed as a whole
        self.new_times = {}

    def run(self, test, command, timeout):
        """Runs one command as test's: returns (exit status or None on timeout, output)."""
        taken = self.resources.take(test)
        try:
            env = dict(os.environ)
            env.update(v.split("=", 1) for v in test.env if "=" in v)
            env.update(Resources.environment(taken))
            try:
                done = subprocess.run(command, cwd=test.cwd, env=env, stdin=subprocess.DEVNULL,
                                      stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                      timeout=timeout)
                return done.returncode, done.stdout.decode("utf-8", "replace")
            except subprocess.TimeoutExpired as e:
                out = (e.stdout or b"").decode("utf-8", "replace")
                return None, out + f"\n*** timeout after {timeout} s\n"
        finally:
            self.resources.give_back(test, taken)

    def case_timeout(self, test):
        return float(test.timeout or self.args.timeout)

    def run_alone(self, test):
        status, out = self.run(test, test.command, self.case_timeout(test))
        skipped = any(re.search(r, out) for r in test.skip_regex)
        self.record(test, status == 0 or (status is not None and skipped), out)
        return status == 0

    def run_batch(self, batch):
        first = batch[0]
        if first.case is None:
            self.run_alone(first)
            return
        with tempfile.TemporaryDirectory() as tmp:
            report = os.path.join(tmp, "report.json")
            command = list(first.command)
            command[first.filter_at] = FILTER + ":".join(t.case for t in batch)
            command.insert(first.filter_at + 1, "--gtest_output=json:" + report)
            timeout = sum(self.case_timeout(t) for t in batch)
            timeout = min(timeout, max(self.case_timeout(first), 2 * self.args.timeout))
            status, out = self.run(first, command, timeout)
            cases = read_report(report)
        for name, seconds in cases.items():
            self.new_times[name] = seconds[1]
        known = all(t.case in cases for t in batch)
        failed = [t for t in batch if known and not cases[t.case][0]]
        if status == 0 and known and not failed:
            for t in batch:
                self.record(t, True, "")
            return
        if status is not None and known and failed:
            # The report names what failed: the process ended as GoogleTest ends a failed run.
            for t in batch:
                self.record(t, t not in failed, case_output(out, t.case) if t in failed else "")
            return
        # Nothing tells which case the failure belongs to: each case once more on its own.
        alone = [self.run_alone(t) for t in batch]
        if all(alone):
            what = "timed out" if status is None else f"ended with status {status}"
            self.extra_failures.append(
                (f"{batch[0].name} and {len(batch) - 1} more in one process", what, out))
            self.say(f"*** batch of {len(batch)} from {batch[0].name} {what}, "
                     "although each case passes alone")

    def record(self, test, passed, output):
        self.results[test.number] = passed
        if not passed:
            self.say(f"{test.number:4d} {test.name} ***Failed\n{output.rstrip()}\n")

    def say(self, text):
        with self.print_lock:
            print(text, flush=True)


def read_report(path):
    """{case: (passed, seconds)} from GoogleTest's JSON report; empty when there is none."""
    try:
        with open(path) as f:
            report = json.load(f)
    except (OSError, ValueError):
        return {}
    cases = {}
    for suite in report.get("testsuites", []):
        for case in suite.get("testsuite", []):
            name = f"{suite['name']}.{case['name']}"
            passed = not case.get("failures")
            seconds = float(str(case.get("time", "0s")).rstrip("s") or 0)
            cases[name] = (passed, seconds)
    return cases


def case_output(out, case):
    """The lines GoogleTest wrote for one case of a batch."""
    start = out.find(f"[ RUN      ] {case}\n")
    if start < 0:
        return out[-4000:]
    failed = out.find(f"[  FAILED  ] {case} (", start)
    end = out.find("\n", failed) if failed >= 0 else -1
    return out[start:] if end < 0 else out[start : end + 1]


def batches_of(tests, size, times):
    groups = {}
    for t in tests:
        groups.setdefault(t.group_key(), []).append(t)
    batches = []
    for members in groups.values():
        count = -(-len(members) // size)
        for i in range(count):
            batches.append(members[i * len(members) // count : (i + 1) * len(members) // count])
    # The longest first, by the cases' times of the last run where known.
    def weight(batch):
        return sum(times.get(t.case or t.name, 1.0) for t in batch)

    return sorted(batches, key=weight, reverse=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--test-dir", required=True)
    parser.add_argument("-L", dest="include")
    parser.add_argument("-LE", dest="exclude")
    parser.add_argument("-j", dest="jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--timeout", type=float, default=300)
    parser.add_argument("--batch", type=int, default=12)
    parser.add_argument("--resources", help="the resources to hand out, in ctest's format")
    args = parser.parse_args()

    query = ["ctest", "--test-dir", args.test_dir, "-N", "--show-only=json-v1"]
    if args.include:
        query += ["-L", args.include]
    if args.exclude:
        query += ["-LE", args.exclude]
    listed = subprocess.run(query, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if listed.returncode != 0:
        sys.stderr.write(listed.stderr.decode("utf-8", "replace"))
        print("0% tests passed, 1 tests failed out of 1 (no test list)")
        return 1
    tests = [Test(n + 1, raw) for n, raw in enumerate(json.loads(listed.stdout)["tests"])]
    if not tests:
        print("No tests were found!!!")
        return 0

    # One file per selection: the lanes of the test command run side by side on one build.
    selection = re.sub(r"[^A-Za-z0-9]+", "_", f"{args.include or ''}-{args.exclude or ''}")
    times_file = os.path.join(args.test_dir, "Testing", f"case-times{selection}.json")
    try:
        with open(times_file) as f:
            times = json.load(f)
    except (OSError, ValueError):
        times = {}
    runner = Runner(args, Resources(args.resources), times)
    started = time.monotonic()
    batches = batches_of(tests, args.batch, times)
    with ThreadPoolExecutor(max_workers=args.jobs) as pool:
        for future in [pool.submit(runner.run_batch, b) for b in batches]:
            future.result()

    times.update(runner.new_times)
    os.makedirs(os.path.dirname(times_file), exist_ok=True)
    with open(times_file + ".new", "w") as f:
        json.dump(times, f)
    os.replace(times_file + ".new", times_file)

    failed = [t for t in tests if not runner.results.get(t.number, False)]
    total = len(tests) + len(runner.extra_failures)
    bad = len(failed) + len(runner.extra_failures)
    print(f"\n{100 * (total - bad) // total}% tests passed, {bad} tests failed out of {total}")
    print(f"Total test time (real) = {time.monotonic() - started:.2f} sec "
          f"({len(batches)} processes)")
    if bad:
        print("\nThe following tests FAILED:")
        for t in failed:
            print(f"\t{t.number:4d} - {t.name} (Failed)")
        for name, what, out in runner.extra_failures:
            print(f"\t     - {name} ({what})\n{out[-4000:]}")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())

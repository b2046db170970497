#!/usr/bin/env bash
# Builds everything and runs every test: native tests with AddressSanitizer and UBSan (the list
# server's store and HTTP tests against SQLite and against a throwaway PostgreSQL cluster, its
# browser page in headless Chromium, the desktop program on GTK with its tests in a private Xvfb
# display), the optimised build of the list server and the benchmarks, a short fuzz run of
# every reader of untrusted bytes, the threading tests again with ThreadSanitizer, and the
# Windows test executables under Wine in a private Xvfb display with a private Wine prefix
# inside the build folder. Ends with one line
# "N passed, N failed"; the exit status is non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# Where the time goes: every stage prints its wall time and the CPU time of the processes it
# waited for (the shell's cutime and cstime in /proc, read here because `times` in a command
# substitution would see the subshell's), and the run ends with a table of them. CPU time is
# the steadier figure on a machine that other work shares.
stage_name=""
stage_wall0=0
stage_cpu0=0
stage_table=""
run_wall0=$(date +%s%N)
cpu_ms() { # user + system time of the waited-for children so far, in milliseconds
    # Fields after the command name in parentheses: cutime and cstime are the 14th and 15th.
    awk -v hz="$(getconf CLK_TCK)" '{ sub(/.*\) /, ""); printf "%d", ($14 + $15) * 1000 / hz }' \
        "/proc/$$/stat"
}
stage_end() {
    [ -n "$stage_name" ] || return 0
    local wall cpu line
    wall=$((($(date +%s%N) - stage_wall0) / 1000000))
    cpu=$(($(cpu_ms) - stage_cpu0))
    line=$(printf '%-34s %7.1f s wall %7.1f s CPU' "$stage_name" "${wall}e-3" "${cpu}e-3")
    echo "   ($line)"
    stage_table+="$line"$'\n'
    stage_name=""
}
stage() { # name: ends the stage before it and starts this one
    stage_end
    stage_name=$1
    stage_wall0=$(date +%s%N)
    stage_cpu0=$(cpu_ms)
}
stage_summary() {
    stage_end
    local wall
    wall=$((($(date +%s%N) - run_wall0) / 1000000))
    echo "== time per stage (load average at the end: $(cut -d' ' -f1-3 /proc/loadavg))"
    printf '%s' "$stage_table"
    printf '%-34s %7.1f s wall %7.1f s CPU\n' "whole run" "${wall}e-3" "$(cpu_ms)e-3"
}

stage "packages"
. scripts/packages.sh
reef_install_packages "${REEF_BUILD_PACKAGES[@]}" "${REEF_RUN_PACKAGES[@]}" "${REEF_TEST_PACKAGES[@]}" \
    "${REEF_BROWSER_PACKAGES[@]}" ||
    { echo "package installation failed"; echo "0 passed, 1 failed"; exit 1; }

jobs=$(nproc)
# A compiler cache, where the machine keeps one between runs, makes a run after a fresh clone
# cheap; a machine without it builds everything, as it would anyway.
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
fi
passed=0
failed=0
xvfb_pid=""
gtk_xvfb_pid=""
wine_prefix="$root/build/windows/wineprefix"

cleanup() {
    if [ -d "$wine_prefix" ]; then
        WINEPREFIX="$wine_prefix" wineserver -k 2>/dev/null
    fi
    for pid in "$xvfb_pid" "$gtk_xvfb_pid"; do
        if [ -n "$pid" ]; then
            kill "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
        fi
    done
}

# Starts Xvfb on the first free display from :99 on; sets $display and $started_xvfb_pid.
start_xvfb() {
    display=99
    while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    started_xvfb_pid=$!
    for _ in $(seq 50); do
        DISPLAY=":$display" xdpyinfo >/dev/null 2>&1 && break
        [ -e "/tmp/.X11-unix/X${display}" ] && break
        sleep 0.1
    done
}
trap cleanup EXIT

# Adds the counts of one ctest run (its log in $1) to the totals; a run that did not get as far
# as counting counts as one failure.
count_ctest() {
    local line total bad
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
    if [ -z "$line" ]; then
        if grep -q 'No tests were found' "$1"; then
            return
        fi
        failed=$((failed + 1))
        return
    fi
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}

build() { # preset [target...]
    local preset=$1
    shift
    stage "build $preset"
    echo "== build $preset"
    if ! cmake --preset "$preset" >"build/build-$preset.log" 2>&1 ||
        ! cmake --build --preset "$preset" -j"$jobs" ${1:+--target "$@"} >>"build/build-$preset.log" 2>&1; then
        tail -n 40 "build/build-$preset.log"
        echo "build $preset failed (log: build/build-$preset.log)"
        failed=$((failed + 1))
        return 1
    fi
}

mkdir -p build
native_built=0
if build native; then
    native_built=1
    stage "tests native"
    echo "== tests (native, ASan + UBSan)"
    ctest --test-dir build/native -j"$jobs" -LE "browser|postgres|gtk" --output-on-failure --timeout 300 2>&1 | tee build/native-tests.log | grep -E '\*\*\*|tests passed'
    count_ctest build/native-tests.log

    # The list server's browser page in headless Chromium, one browser at a time; it leaves
    # screenshots at phone and desktop width in build/native/tests/listserver/screenshots/.
    stage "tests browser"
    echo "== browser page of the list server (headless Chromium)"
    ctest --test-dir build/native -L browser -j1 --output-on-failure --timeout 300 2>&1 | tee build/browser-tests.log | grep -E '\*\*\*|tests passed|No tests'
    count_ctest build/browser-tests.log

    # PostgreSQL: the store and HTTP tests once more against a throwaway cluster (stopped by
    # its process id when the run ends), and the tests of several server processes on one
    # database.
    stage "tests PostgreSQL"
    echo "== tests (native, PostgreSQL store)"
    bash scripts/with-postgres.sh ctest --test-dir build/native -L postgres -j"$jobs" --output-on-failure --timeout 300 2>&1 | tee build/postgres-tests.log | grep -E '\*\*\*|tests passed'
    count_ctest build/postgres-tests.log
fi

# What only the optimised preset builds: the list server and the benchmarks, so that they
# cannot break unseen (every test was built above); counted as one check.
if build native-release reef-listserver bench_list_parse list_cache_bench; then
    passed=$((passed + 1))
fi

# --- fuzzing: every reader of untrusted bytes, a few seconds each; one check per target.
if build fuzz; then
    stage "fuzz run"
    echo "== fuzzing every reader (3 s per target)"
    FUZZ_JOBS=2 bash scripts/fuzz.sh all 3 >build/fuzz-run.log 2>&1
    fuzz_ok=$(grep -cE '^[a-z_]+: [0-9]+ executions' build/fuzz-run.log)
    fuzz_bad=$(grep -cE '^[a-z_]+: FINDING' build/fuzz-run.log)
    grep -E '^[a-z_]+: ([0-9]+ executions|FINDING)' build/fuzz-run.log
    if [ "$fuzz_ok" -eq 0 ] && [ "$fuzz_bad" -eq 0 ]; then
        tail -n 40 build/fuzz-run.log
        echo "fuzz run failed (log: build/fuzz-run.log)"
        fuzz_bad=1
    fi
    passed=$((passed + fuzz_ok))
    failed=$((failed + fuzz_bad))
fi
# --- end of fuzzing

# Only what the threading tests need: the rest was built and run under ASan above.
if build native-tsan reef_threads_tests; then
    stage "tests ThreadSanitizer"
    echo "== threading tests (native, ThreadSanitizer)"
    ctest --test-dir build/native-tsan -L threads -j"$jobs" --output-on-failure --timeout 300 2>&1 | tee build/tsan-tests.log | grep -E '\*\*\*|tests passed|No tests'
    count_ctest build/tsan-tests.log
fi

# The native desktop program on GTK (reef-tools, built with the native preset above) and its
# tests, in a display of their own: the GTK conformance suite, the GTK-only checks and the
# program's windows over GTK. What GTK, GLib and the fonts keep until the process ends is not
# reported as a leak (scripts/gtk-leaks.supp).
if [ "$native_built" -eq 1 ]; then
    stage "tests GTK"
    echo "== tests (native desktop program on GTK, Xvfb)"
    start_xvfb
    gtk_xvfb_pid=$started_xvfb_pid
    LSAN_OPTIONS="suppressions=$root/scripts/gtk-leaks.supp:print_suppressions=0" \
        DISPLAY=":$display" ctest --test-dir build/native -L gtk --output-on-failure --timeout 300 2>&1 | tee build/linux-tests.log | grep -E '\*\*\*|tests passed|No tests'
    count_ctest build/linux-tests.log
    kill "$gtk_xvfb_pid" 2>/dev/null
    wait "$gtk_xvfb_pid" 2>/dev/null
    gtk_xvfb_pid=""
fi

if build windows; then
    stage "Wine prefix"
    echo "== tests (Windows, under Wine)"
    start_xvfb
    xvfb_pid=$started_xvfb_pid
    export DISPLAY=":$display" WINEPREFIX="$wine_prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -d "$wine_prefix" ]; then
        wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
    # No window manager runs on the private display: let Wine draw the window frames itself
    # instead of waiting for a manager at every window it opens.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    # A fresh prefix may lack the ".txt" association every Windows has; the editor fallback
    # (the shell's "open" action) is tested against it.
    wine reg add 'HKCR\.txt' /ve /t REG_SZ /d txtfile /f >/dev/null 2>&1
    wineserver -w
    # The end-to-end tests run the list server of the native build against the Windows build.
    export REEF_LISTSERVER="$root/build/native/listserver/reef-listserver"
    # One Wine session at a time: the tests share the prefix and the display.
    stage "tests Wine"
    ctest --test-dir build/windows --output-on-failure --timeout 600 2>&1 | tee build/windows-tests.log | grep -E '\*\*\*|tests passed|No tests'
    count_ctest build/windows-tests.log
fi

stage_summary
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

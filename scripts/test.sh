#!/usr/bin/env bash
# Builds everything and runs every test: native tests with AddressSanitizer and UBSan (the list
# server's store and HTTP tests against SQLite and against a throwaway PostgreSQL cluster, its
# browser page in headless Chromium, the desktop program on GTK with its tests in a private Xvfb
# display), the optimised build of the list server and the benchmarks, a short fuzz run of
# every reader of untrusted bytes, the threading tests again with ThreadSanitizer, and the
# Windows test executables under Wine in a private Xvfb display with a private Wine prefix
# inside the build folder. Ends with one line
# "N passed, N failed"; the exit status is non-zero on any failure.
#
# Once the native build stands, what mostly waits (tests on clocks, a browser, a database,
# X displays) runs side by side in lanes, each with its own log in build/lane-<name>.log that
# is shown when the lane ends, while the other presets are built at a lower priority in a lane
# of their own, so that the two cores are kept busy without slowing the tests down. Every
# counted step leaves its counts in build/results/; the total is added up from them at the end.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
results="$root/build/results"
rm -rf "$results"
mkdir -p "$results"

# Where the time goes: every stage prints its wall time and the CPU time of the processes it
# waited for (the shell's cutime and cstime in /proc, read there because `times` in a command
# substitution would see the subshell's), and the run ends with a table of them. CPU time is
# the steadier figure on a machine that other work shares. Stages of different lanes overlap:
# their wall times add up to more than the whole run's.
lane=main
lane_pid=$$ # the shell whose children are counted: a lane sets its own
stage_name=""
stage_wall0=0
stage_cpu0=0
run_wall0=$(date +%s%N)
cpu_ms() { # user + system time of this shell's waited-for children so far, in milliseconds
    # Fields after the command name in parentheses: cutime and cstime are the 14th and 15th.
    awk -v hz="$(getconf CLK_TCK)" '{ sub(/.*\) /, ""); printf "%d", ($14 + $15) * 1000 / hz }' \
        "/proc/$lane_pid/stat"
}
stage_end() {
    [ -n "$stage_name" ] || return 0
    local wall cpu line
    wall=$((($(date +%s%N) - stage_wall0) / 1000000))
    cpu=$(($(cpu_ms) - stage_cpu0))
    line=$(printf '%-8s %-26s %7.1f s wall %7.1f s CPU' "$lane" "$stage_name" "${wall}e-3" \
        "${cpu}e-3")
    echo "   ($line)"
    echo "$line" >>"$results/stages"
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
    echo "== time per stage (lane, stage; load average at the end: $(cut -d' ' -f1-3 /proc/loadavg))"
    cat "$results/stages"
    printf '%-35s %7.1f s wall %7.1f s CPU\n' "whole run" "${wall}e-3" "$(cpu_ms)e-3"
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
# Paths inside the clone are hashed relative to it, so that a clone in another folder finds what
# an earlier clone compiled outside the unity batches (a batch names its sources by their full
# path, so those are found by a clone in the same folder only); the objects' debug information
# then names the folder of the clone that compiled them first, which no test reads.
if [ "${CMAKE_CXX_COMPILER_LAUNCHER:-}" = ccache ]; then
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
fi
# The tests' precompiled header is only cached with these two relaxations (ccache's manual);
# the header's own bytes are still part of every hash, and no source uses __DATE__ or __TIME__.
if [ "${CMAKE_CXX_COMPILER_LAUNCHER:-}" = ccache ]; then
    export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:+$CCACHE_SLOPPINESS,}pch_defines,time_macros"
fi
xvfb_pid=""
xvfb_pids=()
wine_started=0
lane_pids=()

# Each lane runs this at its own end too (a subshell does not inherit the trap): it stops what
# that shell started.
cleanup() {
    local pid
    if [ "$wine_started" -eq 1 ]; then
        stop_wine
    fi
    for pid in "${lane_pids[@]}" "$xvfb_pid" "${xvfb_pids[@]}"; do
        if [ -n "$pid" ]; then
            kill "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
        fi
    done
}
trap cleanup EXIT

# Starts Xvfb on the first free display from :99 on; sets $display and $xvfb_pid. A display
# that another lane took meanwhile makes Xvfb exit at once (its lock file exists): then the
# next one is tried.
start_xvfb() {
    display=99
    while :; do
        while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do
            display=$((display + 1))
        done
        Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 50); do
            # Another lane's server may answer on a display ours failed to take: ours must live.
            kill -0 "$xvfb_pid" 2>/dev/null || break
            DISPLAY=":$display" xdpyinfo >/dev/null 2>&1 && kill -0 "$xvfb_pid" 2>/dev/null &&
                return 0
            sleep 0.1
        done
        if kill -0 "$xvfb_pid" 2>/dev/null; then
            return 0
        fi
        wait "$xvfb_pid" 2>/dev/null
        display=$((display + 1))
    done
}
stop_xvfb() {
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
}
# Stops the displays that start_xvfb left in xvfb_pids.
stop_xvfbs() {
    local pid
    for pid in "${xvfb_pids[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    xvfb_pids=()
}

# record <step> <passed> <failed>: the counts of one counted step.
record() {
    echo "$2 $3" >"$results/count-$1"
}

# Records the counts of one ctest run (its log in $1) as step $2; a run that did not get as far
# as counting counts as one failure.
count_ctest() {
    local line total bad
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
    if [ -z "$line" ]; then
        if grep -q 'No tests were found' "$1"; then
            return
        fi
        record "$2" 0 1
        return
    fi
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
    record "$2" $((total - bad)) "$bad"
}

build() { # preset [target...]
    local preset=$1
    shift
    stage "build $preset"
    echo "== build $preset"
    # A build folder that an older checkout configured for make: CMake refuses another
    # generator there, so its configuration (not what it built) is made anew.
    if grep -qs '^CMAKE_GENERATOR:INTERNAL=Unix Makefiles$' "build/$preset/CMakeCache.txt"; then
        rm -rf "build/$preset/CMakeCache.txt" "build/$preset/CMakeFiles"
    fi
    if ! cmake --preset "$preset" >"build/build-$preset.log" 2>&1 ||
        ! cmake --build --preset "$preset" -j"$jobs" ${1:+--target "$@"} >>"build/build-$preset.log" 2>&1; then
        tail -n 40 "build/build-$preset.log"
        echo "build $preset failed (log: build/build-$preset.log)"
        record "build-$preset" 0 1
        stage_end
        return 1
    fi
    stage_end
}

# run_lane <name> <function>: runs the function in the background, its output in
# build/lane-<name>.log; join_lanes waits for every lane and shows its log.
run_lane() {
    local name=$1
    shift
    (
        lane=$name
        lane_pid=$BASHPID
        stage_name=""
        lane_pids=()
        trap cleanup EXIT
        trap 'exit 143' TERM
        "$@"
        stage_end
    ) >"build/lane-$name.log" 2>&1 &
    lane_pids+=($!)
    lane_names+=("$name")
}
lane_names=()
join_lanes() {
    local i
    for i in "${!lane_pids[@]}"; do
        wait "${lane_pids[$i]}"
        echo "== lane ${lane_names[$i]} (log: build/lane-${lane_names[$i]}.log)"
        cat "build/lane-${lane_names[$i]}.log"
    done
    lane_pids=()
    lane_names=()
}

# The GoogleTest cases that ctest lists, run by scripts/run-test-groups.py a batch of cases per
# process: ctest would start a process per case, which under the sanitizers costs more processor
# time than most cases take (a GTK case ~0.5 s to open its display). It prints ctest's summary line
# over the same cases; a failed batch that does not say which case failed runs again one case per
# process. ctest itself still runs any case alone (ctest --test-dir build/native -R <name>).
run_tests=(/usr/bin/python3 "$root/scripts/run-test-groups.py")

native_tests() {
    stage "tests native"
    echo "== tests (native, ASan + UBSan)"
    "${run_tests[@]}" --test-dir build/native -j"$jobs" -LE "browser|postgres|gtk" --timeout 300 2>&1 | tee build/native-tests.log | grep -E '\*\*\*|tests passed'
    count_ctest build/native-tests.log native
}

# The list server's browser page in headless Chromium, one browser at a time; it leaves
# screenshots at phone and desktop width in build/native/tests/listserver/screenshots/.
browser_tests() {
    stage "tests browser"
    echo "== browser page of the list server (headless Chromium)"
    "${run_tests[@]}" --test-dir build/native -L browser -j1 --timeout 300 2>&1 | tee build/browser-tests.log | grep -E '\*\*\*|tests passed|No tests'
    count_ctest build/browser-tests.log browser
}

# PostgreSQL: the store and HTTP tests once more against a throwaway cluster (stopped by its
# process id when the run ends), and the tests of several server processes on one database.
postgres_tests() {
    stage "tests PostgreSQL"
    echo "== tests (native, PostgreSQL store)"
    bash scripts/with-postgres.sh "${run_tests[@]}" --test-dir build/native -L postgres -j"$jobs" --timeout 300 2>&1 | tee build/postgres-tests.log | grep -E '\*\*\*|tests passed'
    count_ctest build/postgres-tests.log postgres
}

# The native desktop program on GTK (reef-tools, built with the native preset) and its tests:
# the GTK conformance suite, the GTK-only checks and the program's windows over GTK. Each test
# has a private Xvfb display to itself (programs on one display take the keyboard focus from
# each other); ctest hands out gtk_display_count of them side by side (the resource
# "display", tests/support/on_ctest_display.sh). What GTK, GLib and the fonts keep until the
# process ends is not reported as a leak (scripts/gtk-leaks.supp). Those suppressions name
# libraries only, which the leak check tells without symbolizing: with symbolizing off, a test
# process takes about a third less processor time (its reports then name each frame by
# library and offset; ASAN_OPTIONS=symbolize=1 names the functions).
gtk_display_count=2
# resource_file <kind> <id>...: the resources that ctest (or run-test-groups.py) hands out to
# the tests, in ctest's JSON format: one of the kind per id, for one test at a time.
resource_file() {
    local kind=$1 id items=""
    shift
    for id in "$@"; do
        items+="${items:+, }{\"id\": \"$id\", \"slots\": 1}"
    done
    echo "{\"version\": {\"major\": 1, \"minor\": 0}, \"local\": [{\"$kind\": [$items]}]}"
}
gtk_tests() {
    stage "tests GTK"
    echo "== tests (native desktop program on GTK, Xvfb, $gtk_display_count displays)"
    local i displays=()
    for i in $(seq "$gtk_display_count"); do
        start_xvfb
        xvfb_pids+=("$xvfb_pid")
        xvfb_pid=""
        displays+=("$display")
    done
    resource_file display "${displays[@]}" >"$root/build/gtk-displays.json"
    ASAN_OPTIONS="${ASAN_OPTIONS:-symbolize=0}" \
        LSAN_OPTIONS="suppressions=$root/scripts/gtk-leaks.supp:print_suppressions=0" \
        "${run_tests[@]}" --test-dir build/native -L gtk -j"$gtk_display_count" \
        --resources "$root/build/gtk-displays.json" --timeout 300 2>&1 | tee build/linux-tests.log | grep -E '\*\*\*|tests passed|No tests'
    count_ctest build/linux-tests.log gtk
    stop_xvfbs
}

# The other presets, one after the other in a lane of their own at a lower priority, so that
# the tests running meanwhile keep the processor when they need it (two lanes of builds side
# by side were measured too: they fought the tests and each other for the two cores and ended
# later). First the Windows build (its tests under Wine are the longest lane, and mostly wait),
# then the fuzz targets and the threading tests with ThreadSanitizer, whose runs follow them,
# and last what only the optimised preset builds (the list server and the benchmarks, so that
# they cannot break unseen: every test is built by the native preset). Each preset leaves
# build/results/done-<preset> when it is through, and built-<preset> when it built.
other_builds() {
    renice -n 5 -p "$BASHPID" >/dev/null
    build windows && touch "$results/built-windows"
    touch "$results/done-windows"
    # The fuzz targets alone: the list server's other parts are built by the native presets.
    build fuzz download_answer_fuzzer submission_answer_fuzzer proxy_answer_fuzzer \
        settings_file_fuzzer list_cache_fuzzer fleet_file_fuzzer listserver_request_fuzzer \
        listserver_entry_body_fuzzer &&
        touch "$results/built-fuzz"
    touch "$results/done-fuzz"
    # Only what the threading tests need: the rest was built and run under ASan.
    build native-tsan reef_threads_tests && touch "$results/built-native-tsan"
    touch "$results/done-native-tsan"
    # Counted as one check.
    if build native-release reef-listserver bench_list_parse list_cache_bench; then
        record native-release 1 0
    fi
}

# built <preset>: waits until the lane of the builds is through with that preset (or has
# ended); true when it built.
built() {
    while [ ! -e "$results/done-$1" ] && kill -0 "$builds_pid" 2>/dev/null; do
        sleep 1
    done
    [ -e "$results/built-$1" ]
}

# Every reader of untrusted bytes, a few seconds each; one check per target.
fuzz_run() {
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
    record fuzz "$fuzz_ok" "$fuzz_bad"
}

tsan_tests() {
    stage "tests ThreadSanitizer"
    echo "== threading tests (native, ThreadSanitizer)"
    "${run_tests[@]}" --test-dir build/native-tsan -L threads -j"$jobs" --timeout 300 2>&1 | tee build/tsan-tests.log | grep -E '\*\*\*|tests passed|No tests'
    count_ctest build/tsan-tests.log tsan
}

fuzz_and_tsan() {
    built fuzz && fuzz_run
    built native-tsan && tsan_tests
}

# The Windows tests in Wine slots side by side, each slot an X display and a Wine prefix of its
# own (tests/support/in_wine_slot.sh), so that what a test's programs share (the keyboard
# focus, the clipboard, the tray, the Wine processes that a failing test ends) stays in its
# slot; ctest gives every test one slot and starts the longest first. The first prefix is made
# with wineboot, the others are copies of it. Each slot's wineserver stays up for the whole
# run: a Wine start without one (the system processes started anew) costs seconds per test.
wine_slot_count=2
wine_slots="$root/build/windows/wine-slots"
# Ends every Wine process of every slot, the wineservers kept up included.
stop_wine() {
    local prefix
    for prefix in "$wine_slots"/*/prefix; do
        [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null
    done
}
wine_tests() {
    stage "Wine prefix"
    echo "== tests (Windows, under Wine, $wine_slot_count slots)"
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    wine_started=1
    local slot
    for slot in $(seq 0 $((wine_slot_count - 1))); do
        start_xvfb
        xvfb_pids+=("$xvfb_pid")
        xvfb_pid=""
        mkdir -p "$wine_slots/$slot"
        echo ":$display" >"$wine_slots/$slot/display"
    done
    resource_file wine $(seq 0 $((wine_slot_count - 1))) >"$wine_slots/resources.json"
    local first="$wine_slots/0/prefix"
    if [ ! -d "$first" ]; then
        export DISPLAY=$(cat "$wine_slots/0/display") WINEPREFIX="$first"
        wineboot -i >/dev/null 2>&1
        wineserver -w
        # No window manager runs on the private displays: let Wine draw the window frames
        # itself instead of waiting for a manager at every window it opens.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        # A fresh prefix may lack the ".txt" association every Windows has; the editor
        # fallback (the shell's "open" action) is tested against it.
        wine reg add 'HKCR\.txt' /ve /t REG_SZ /d txtfile /f >/dev/null 2>&1
        wineserver -w
        unset DISPLAY WINEPREFIX
    fi
    for slot in $(seq 1 $((wine_slot_count - 1))); do
        [ -d "$wine_slots/$slot/prefix" ] || cp -a "$first" "$wine_slots/$slot/prefix"
    done
    # Only now, with every prefix copied from a first one that Wine has written in full. The
    # system processes that the first program starts live as long as the wineserver: started
    # here, they do not hold the output of the test that would start them, which ctest reads
    # until every writer has closed it.
    for slot in $(seq 0 $((wine_slot_count - 1))); do
        WINEPREFIX="$wine_slots/$slot/prefix" wineserver -p
        DISPLAY=$(cat "$wine_slots/$slot/display") WINEPREFIX="$wine_slots/$slot/prefix" \
            wine cmd /c exit </dev/null >/dev/null 2>&1
    done
    export REEF_WINE_SLOTS="$wine_slots"
    # The end-to-end tests run the list server of the native build against the Windows build.
    export REEF_LISTSERVER="$root/build/native/listserver/reef-listserver"
    stage "tests Wine"
    # A test fails now and then in prefixes just made (twice in some thirty runs, one of them
    # CI's; in none of some twenty on prefixes that had run the tests before): a probe that can
    # neither write into its folder nor start the program there, a test program that ends after
    # 0.07 s. Until its cause is known, a failed test runs once more; the failed attempt and its
    # output stay in the log and are shown in the lane's output.
    ctest --test-dir build/windows -j"$wine_slot_count" --resource-spec-file "$wine_slots/resources.json" \
        --repeat until-pass:2 --output-on-failure --timeout 600 2>&1 | tee build/windows-tests.log | grep -E '\*\*\*|tests passed|No tests'
    count_ctest build/windows-tests.log wine
    # What a failed test printed, here too (a run on another machine keeps only this output),
    # without GoogleTest's lines of the cases that passed.
    awk '/\*\*\*/ { shown = 80 } / Start +[0-9]+:|tests passed/ { shown = 0 }
         /^\[ +(RUN|OK) +\]/ { next } shown > 0 { print "   | " $0; shown-- }' build/windows-tests.log
    stage_end
    stop_wine
    wine_started=0
    stop_xvfbs
}

build native && native_built=1 || native_built=0
if [ "$native_built" -eq 1 ]; then
    # The test lists of the native build, found once before the lanes' ctest runs would all
    # write them at the same moment.
    stage "test discovery"
    ctest --test-dir build/native -N >build/native-discovery.log 2>&1
    stage_end
fi
run_lane builds other_builds
builds_pid=$!
run_lane wine eval 'built windows && wine_tests'
# The fuzz run and the ThreadSanitizer tests as soon as their builds stand.
run_lane fuzz-tsan fuzz_and_tsan
if [ "$native_built" -eq 1 ]; then
    run_lane browser browser_tests
    run_lane postgres postgres_tests
    run_lane gtk gtk_tests
    # In a lane too: the main shell's figure of CPU time takes in every lane that ends
    # meanwhile.
    run_lane native native_tests
fi
join_lanes

passed=0
failed=0
for file in "$results"/count-*; do
    [ -e "$file" ] || continue
    read -r p f <"$file"
    passed=$((passed + p))
    failed=$((failed + f))
done
stage_summary
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

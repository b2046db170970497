#!/usr/bin/env bash
# scripts/run-test-groups.py against a fake GoogleTest executable (fake_gtest.py): every case
# gets the result it would get alone, a failure in a shared process is never lost, and the
# summary line counts what ctest would count. Usage: run_test_groups_test.sh <runner>
set -u
runner=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
    echo "FAIL: $*"
    status=1
}

# <folder> <case>...: a ctest folder with one test per case, as gtest_discover_tests makes them.
make_tests() {
    local dir=$1 case
    shift
    mkdir -p "$dir"
    : >"$dir/CTestTestfile.cmake"
    for case in "$@"; do
        cat >>"$dir/CTestTestfile.cmake" <<CMAKE
add_test([=[$case]=] /usr/bin/python3 $here/fake_gtest.py [==[--gtest_filter=$case]==] --gtest_also_run_disabled_tests)
set_tests_properties([=[$case]=] PROPERTIES WORKING_DIRECTORY $dir ENVIRONMENT "LEAK=\$ENV{FAKE_LEAK}")
CMAKE
    done
}

# <folder> <expected summary> <runner arguments...>: runs the runner, checks its last summary.
expect_summary() {
    local dir=$1 expected=$2
    shift 2
    rm -f "$dir/runs.log"
    out=$(/usr/bin/python3 "$runner" --test-dir "$dir" -j2 --timeout 20 "$@" 2>&1)
    summary=$(grep -E '^[0-9]+% tests passed' <<<"$out")
    [ "$summary" = "$expected" ] || fail "$dir: \"$summary\", expected \"$expected\"; output:
$out"
}

# Cases that pass share a process: five cases in batches of three are two processes.
make_tests "$work/pass" Pass.A Pass.B Pass.C Pass.D Pass.E
FAKE_LEAK=0 expect_summary "$work/pass" "100% tests passed, 0 tests failed out of 5" --batch 3
[ "$(wc -l <"$work/pass/runs.log")" -eq 2 ] || fail "five passing cases ran in $(wc -l <"$work/pass/runs.log") processes"

# A reported failure is that case's, found without running anything again; a crash that leaves
# no report runs the batch's cases one by one, so that only the crashing case fails.
make_tests "$work/mixed" Pass.A Fail.B Pass.C Crash.D Pass.E Pass.F
FAKE_LEAK=0 expect_summary "$work/mixed" "66% tests passed, 2 tests failed out of 6" --batch 3
grep -q 'Fail.B \*\*\*Failed' <<<"$out" || fail "the failed case is not named"
grep -q 'Crash.D \*\*\*Failed' <<<"$out" || fail "the crashed case is not named"
grep -q 'Pass.A \*\*\*Failed' <<<"$out" && fail "a passing case of the failed batch is named"
grep -q 'Failure in Fail.B' <<<"$out" || fail "the failed case's own output is not shown"

# A process that fails after every case passed (a leak check at exit) is found out case by case:
# here every case fails alone too, so each is counted failed.
make_tests "$work/leak" Pass.A Pass.B
FAKE_LEAK=1 expect_summary "$work/leak" "0% tests passed, 2 tests failed out of 2"

# A process that fails only when its cases share it: each passes alone, and the batch's failure
# is counted as one more, not lost.
make_tests "$work/together" Alone.A Alone.B
FAKE_LEAK=0 expect_summary "$work/together" "66% tests passed, 1 tests failed out of 3"
grep -q 'although each case passes alone' <<<"$out" || fail "the batch failure is not explained"

# No test at all is ctest's own words.
mkdir -p "$work/none" && : >"$work/none/CTestTestfile.cmake"
out=$(/usr/bin/python3 "$runner" --test-dir "$work/none" 2>&1)
grep -q 'No tests were found' <<<"$out" || fail "an empty folder: $out"

[ "$status" -eq 0 ] && echo "run-test-groups: all cases as expected"
exit "$status"

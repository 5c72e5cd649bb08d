#!/bin/sh
# The whole test suite: format check, the native suite, the native suite under the
# sanitizers, the tests that run threads under ThreadSanitizer, the Windows build's suite
# under wine, then the fuzz targets (corpus replay and a bounded run of VEX_FUZZ_SECONDS
# each, default 60). Ends with one line counting every test run.
set -u
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh || exit 1

echo "== format check"
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find framework analyzer platform host tests bench fuzz -name '*.cpp' -o -name '*.h')
clang-format --dry-run --Werror $files || { echo "format check failed: run clang-format -i"; exit 1; }

total_passed=0
total_failed=0
# run_suite PRESET: configure, build and test one preset; adds its counts to the totals.
run_suite() {
    echo "== $1: configure and build"
    cmake --preset "$1" -DVEX_FUZZ_SECONDS="${VEX_FUZZ_SECONDS:-60}" >/dev/null || return 1
    cmake --build --preset "$1" || return 1
    echo "== $1: tests"
    log=$(mktemp)
    ctest --preset "$1" 2>&1 | tee "$log"
    summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    rm -f "$log"
    [ -n "$summary" ] || return 1
    failed=$(echo "$summary" | sed -E 's/.*, ([0-9]+) tests failed out of ([0-9]+).*/\1/')
    all=$(echo "$summary" | sed -E 's/.*, ([0-9]+) tests failed out of ([0-9]+).*/\2/')
    total_passed=$((total_passed + all - failed))
    total_failed=$((total_failed + failed))
    echo "$1: $((all - failed)) passed, $failed failed"
    [ "$failed" -eq 0 ]
}

result=0
run_suite linux || result=1
run_suite linux-asan || result=1
# The hardening tests' own figures (real-time counts, lifecycle, soak) under the sanitizers.
grep -E '^(soak: |[0-9]+ process calls|[0-9]+ run calls|[0-9]+ lives of each object)' \
    build/linux-asan/Testing/Temporary/LastTest.log 2>/dev/null | sed 's/^/linux-asan figures: /'
run_suite linux-tsan || result=1
run_suite win32 || result=1
run_suite fuzz || result=1
# Executions of each bounded fuzzing run, from CTest's log of the run.
awk '/^[0-9]+\/[0-9]+ Test: .*_fuzz$/ { name = $3 }
     /^Done [0-9]+ runs in/ && name != "" { print "fuzz figures: " name ": " $2 " executions in " $5 " s"; name = "" }' \
    build/fuzz/Testing/Temporary/LastTest.log 2>/dev/null

echo "all: $total_passed passed, $total_failed failed"
exit $result

#!/usr/bin/env bash
# The long hardening run: every fuzz target for FUZZ_RUNS inputs (2000000
# unless set), then the flow-control stress and noisy-line tests at
# ZEK_STRESS_SCALE (8 unless set) times their size in the test command, and
# the server soak, a week of a shop's servers in an hour, at ZEK_SOAK_SCALE
# (100 unless set: 1000 tapes and 1000 requests through -s, 200 callers and
# files through -S). Prints each figure: inputs per fuzz target, bytes moved
# and holds survived, corruptions injected and how each transfer ended, the
# servers' memory and open descriptors at the start and the end.
set -euo pipefail
cd "$(dirname "$0")/.."
export ZEK_STRESS_SCALE=${ZEK_STRESS_SCALE:-8}
export ZEK_SOAK_SCALE=${ZEK_SOAK_SCALE:-100}

scripts/fuzz.sh long

scripts/build.sh >/dev/null
log=build/stress-long.log
status=0
build/tests/zek_system_tests --gtest_filter='FlowStress.*:NoisyLine.*:ServerSoak.*' >"$log" 2>&1 || status=$?
grep -E '^\[ figures  \]|^\[  (PASSED|FAILED)  \]|^\[       OK \]|Failure' "$log" || true
if [ "$status" -ne 0 ]; then
    echo "stress tests failed: see $log" >&2
fi
exit "$status"

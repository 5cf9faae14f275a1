#!/usr/bin/env bash
# Fresh Debian 12 machine: install what is missing, build, run every test;
# then every test again under AddressSanitizer with UndefinedBehaviorSanitizer,
# the component's tests under ThreadSanitizer, and each fuzz target briefly.
# Tests that need root (network namespaces, raw sockets) skip without it.
# Prints how long each stage took at the end, also when one fails.
set -euo pipefail
cd "$(dirname "$0")/.."

stage_times=()
stage() {
    local name=$1
    shift
    local start=$SECONDS
    echo "=== $name"
    "$@"
    stage_times+=("$(printf '%-40s %5d s' "$name" $((SECONDS - start)))")
}
report_times() {
    echo "=== stage times"
    printf '%s\n' "${stage_times[@]}"
}
trap report_times EXIT

run_tests() {
    ctest --test-dir "${TARVIX_BUILD_DIR:-build}" --output-on-failure -j "$(nproc)"
}

stage "install dependencies" scripts/install-deps.sh
stage "build" scripts/build.sh
stage "tests" run_tests
stage "AddressSanitizer+UBSan: build, tests" scripts/sanitizer-tests.sh address
stage "ThreadSanitizer: build, tests" scripts/sanitizer-tests.sh thread
# Four targets, 10 s each.
stage "fuzzing: build, runs" fuzz/run.sh 10

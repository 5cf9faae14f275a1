#!/usr/bin/env bash
# Builds the tests with a sanitizer into a build directory of its own and runs
# them with CTest:
#
#   scripts/sanitizer-tests.sh address   build-asan/: every test, under
#                                        AddressSanitizer (leaks included) and
#                                        UndefinedBehaviorSanitizer
#   scripts/sanitizer-tests.sh thread    build-tsan/: the engine's and the
#                                        component's tests, where the
#                                        resolver's worker thread runs, under
#                                        ThreadSanitizer
#
# Further arguments go to ctest (e.g. -R HostResolver). Any report fails the
# test it came from. Only test programs are built, -O1 with debug information.
# Suppressions, for false positives inside Qt only, live in tests/sanitizers/.
set -euo pipefail
cd "$(dirname "$0")/.."

kind=${1:-}
shift || true
suppressions="$PWD/tests/sanitizers"
case "$kind" in
address)
    dir=${TARVIX_ASAN_BUILD_DIR:-build-asan}
    targets=(tarvix_tests)
    tests=("$dir")
    launcher=()
    export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    ;;
thread)
    dir=${TARVIX_TSAN_BUILD_DIR:-build-tsan}
    # Every test program of the two folders whose tests run below.
    targets=(ping_engine_tests ping_engine_language_tests ping_component_tests ping_component_language_tests)
    tests=("$dir/tests/ping_engine" "$dir/tests/ping_component")
    # ThreadSanitizer's fixed shadow layout clashes with the wide address
    # randomisation of newer kernels; without randomisation it always fits.
    launcher=(setarch "$(uname -m)" --addr-no-randomize)
    export TSAN_OPTIONS="suppressions=$suppressions/tsan.supp:halt_on_error=1:second_deadlock_stack=1"
    ;;
*)
    echo "usage: $0 address|thread [CTEST-ARGUMENTS...]" >&2
    exit 2
    ;;
esac

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
    -DTARVIX_SANITIZE="$kind" >/dev/null
cmake --build "$dir" --target "${targets[@]}"

status=0
for folder in "${tests[@]}"; do
    "${launcher[@]}" ctest --test-dir "$folder" --output-on-failure -j "$(nproc)" "$@" || status=$?
done
exit "$status"

#!/usr/bin/env bash
# Builds and runs every benchmark. Needs root (network namespaces).
# Each benchmark prints its own block; a benchmark that fails or skips (exit
# 77) does not keep the others from running, but the script then fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
dir=${TARVIX_BUILD_DIR:-build}
echo "Tarvix benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'), $(uname -sr)," \
     "$(nproc) CPUs ($(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1))," \
     "load average $(cut -d ' ' -f 1-3 /proc/loadavg)"
failed=()
run() {
    echo
    "$dir/bench/$1" "${@:2}" || failed+=("$1 (exit $?)")
}
run bench_rtt_accuracy "$@"
run bench_stop_latency
run bench_ping_to_wire
run bench_soak
run bench_startup
run bench_scale
run bench_wire
run bench_chart_cost
if ((${#failed[@]} > 0)); then
    echo "failed or skipped: ${failed[*]}" >&2
    exit 1
fi

#!/usr/bin/env bash
# Builds and runs every benchmark. Needs root (network namespaces).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
dir=${TARVIX_BUILD_DIR:-build}
"$dir/bench/bench_rtt_accuracy" "$@"
echo
"$dir/bench/bench_startup"
echo
"$dir/bench/bench_scale"

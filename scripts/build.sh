#!/usr/bin/env bash
# Configures and builds everything into build/ (or $TARVIX_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${TARVIX_BUILD_DIR:-build}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$dir"

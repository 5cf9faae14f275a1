#!/usr/bin/env bash
# Fresh Debian 12 machine: install what is missing, build, run every test.
# Tests that need root (network namespaces, raw sockets) skip without it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cd "${TARVIX_BUILD_DIR:-build}"
ctest --output-on-failure -j "$(nproc)"

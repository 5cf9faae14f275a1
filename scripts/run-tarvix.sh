#!/usr/bin/env bash
# Fresh Debian 12 machine: install what is missing, build, open Tarvix.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
exec "${TARVIX_BUILD_DIR:-build}/full_sample/Tarvix"

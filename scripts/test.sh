#!/usr/bin/env bash
# Set-up (every package) and build of everything, then the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
ctest --test-dir "${DISPC_BUILD_DIR:-build}" --output-on-failure -j"$(nproc)"

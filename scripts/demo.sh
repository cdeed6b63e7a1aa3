#!/usr/bin/env bash
# Set-up and build, then run the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
./build/examples/dispc-demo "${@:-out}"

#!/usr/bin/env bash
# Set-up (the demo's packages) and build of the libraries, the tools and the demo, then the
# demo: it writes the inspection scene (PNG, SVG, PDF), the board image and the recorded sketch
# to ./demo-out, or to the directory given.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh demo
./"${DISPC_BUILD_DIR:-build}"/examples/dispc-demo "$@"

#!/usr/bin/env bash
# Set-up and build, then run the demo. It writes the inspection scene (PNG, SVG, PDF), the
# board image and the recorded sketch to ./demo-out, or to the directory given.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
./build/examples/dispc-demo "$@"

#!/usr/bin/env bash
# Coverage: builds with gcov instrumentation into ./build-coverage (or $DISPC_COVERAGE_DIR),
# runs the whole test suite there, then prints line and branch coverage of core/, dispc/ and
# backends/, file by file (lowest line coverage first) and in total. Extra arguments go to the
# CMake configure step. Run by hand; installs gcovr when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v gcovr >/dev/null 2>&1; then
  echo "Installing: gcovr"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends gcovr
fi

build_dir=${DISPC_COVERAGE_DIR:-build-coverage}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Debug -DDISPC_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="--coverage -fno-inline" -DCMAKE_EXE_LINKER_FLAGS=--coverage \
  -DCMAKE_SHARED_LINKER_FLAGS=--coverage "$@"
cmake --build "$build_dir" -j"$(nproc)"
find "$build_dir" -name '*.gcda' -delete
ctest --test-dir "$build_dir" -j"$(nproc)" --output-on-failure ||
  echo "Some tests failed: the figures below count what ran."

# Branches the compiler adds for exceptions and unreachable code are not counted. gcovr 5.2
# stops on a function name that gcov reports at two lines (one inline function seen from
# several objects): such a pair is merged as one function.
summary="$build_dir/coverage-summary.json"
gcovr_python=$(head -n 1 "$(command -v gcovr)" | sed 's/^#! *//')
$gcovr_python - --root . --object-directory "$build_dir" --filter 'core/' --filter 'dispc/' \
  --filter 'backends/' --exclude-throw-branches --exclude-unreachable-branches \
  --json-summary "$summary" <<'PYTHON'
import sys
import gcovr.merging as merging
from gcovr.__main__ import main

if hasattr(merging, "merge_function"):
    merge_function = merging.merge_function
    def merge_same_name(left, right, options):
        right.lineno = left.lineno
        return merge_function(left, right, options)
    merging.merge_function = merge_same_name
sys.argv[0] = "gcovr"
sys.exit(main())
PYTHON

python3 - "$summary" <<'EOF'
import json, sys

data = json.load(open(sys.argv[1]))
def pct(covered, total):
    return 100.0 * covered / total if total else 100.0
print(f"{'file':44} {'lines':>15} {'branches':>15}")
for f in sorted(data["files"], key=lambda f: pct(f["line_covered"], f["line_total"])):
    print(f"{f['filename']:44} {pct(f['line_covered'], f['line_total']):6.1f}% {f['line_total']:7}"
          f" {pct(f['branch_covered'], f['branch_total']):6.1f}% {f['branch_total']:7}")
for part in ("core/", "dispc/", "backends/"):
    fs = [f for f in data["files"] if f["filename"].startswith(part)]
    lc, lt = sum(f["line_covered"] for f in fs), sum(f["line_total"] for f in fs)
    bc, bt = sum(f["branch_covered"] for f in fs), sum(f["branch_total"] for f in fs)
    print(f"{part:44} {pct(lc, lt):6.1f}% {lt:7} {pct(bc, bt):6.1f}% {bt:7}")
print(f"{'total':44} {data['line_percent']:6.1f}% {data['line_total']:7}"
      f" {data['branch_percent']:6.1f}% {data['branch_total']:7}")
EOF

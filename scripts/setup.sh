#!/usr/bin/env bash
# Installs the Debian packages a set needs (only the missing ones, nothing else upgraded), then
# configures and builds into ./build (or $DISPC_BUILD_DIR). One line per step; the output of
# each step goes to build/setup.log and is shown only when the step fails.
#
#   bash scripts/setup.sh demo   the libraries, the tools and dispc-demo
#   bash scripts/setup.sh test   everything: also the tests, benchmarks and fuzz replayers
#
# Further arguments go to the CMake configure step.
set -euo pipefail
cd "$(dirname "$0")/.."

set_name=${1:-test}
[[ $# -gt 0 ]] && shift

# What the libraries, the tools and the demo need.
demo_packages=(cmake make g++ pkg-config libcairo2-dev fonts-dejavu-core)
# What only the tests and benchmarks need: test-only packages go here. Qt and OpenCV (the
# narrow packages, not libopencv-dev) build the Qt back end, dispc-view and the OpenCV adapter;
# Xvfb and ImageMagick's import serve the test of a real window. Boost.Geometry is the oracle
# of the SMD polygon tests and benchmarks.
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev libopencv-core-dev
               libopencv-imgproc-dev libopencv-imgcodecs-dev xvfb imagemagick libboost-dev)

case $set_name in
  demo)
    packages=("${demo_packages[@]}")
    options=(-DDISPC_BUILD_TESTS=OFF -DDISPC_BUILD_BENCH=OFF)
    targets=(--target dispc-demo dispc-render dispc-sketch)
    what="the libraries, the tools and dispc-demo"
    ;;
  test)
    packages=("${demo_packages[@]}" "${test_packages[@]}")
    options=(-DDISPC_BUILD_TESTS=ON -DDISPC_BUILD_BENCH=ON)
    targets=()
    what="everything (libraries, tools, demo, tests, benchmarks)"
    ;;
  *)
    echo "usage: bash scripts/setup.sh [demo|test] [cmake options...]" >&2
    exit 2
    ;;
esac

build_dir=${DISPC_BUILD_DIR:-build}
mkdir -p "$build_dir"
log="$build_dir/setup.log"
: >"$log"

step() { echo "dispc: $*"; }
# Runs a command with its output in the log; on failure shows the log's end and stops.
logged() {
  if ! "$@" >>"$log" 2>&1; then
    echo "dispc: failed: $*" >&2
    tail -n 40 "$log" >&2
    exit 1
  fi
}

missing=()
for p in "${packages[@]}"; do
  [[ $(dpkg-query -W -f='${Status}' "$p" 2>/dev/null) == "install ok installed" ]] || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  install=(apt-get install -y -qq --no-install-recommends --no-upgrade
           -o Dpkg::Use-Pty=0 "${missing[@]}")
  step "installing ${missing[*]}"
  # The package lists are refreshed only when the install cannot go ahead without it.
  if ! "${install[@]}" >>"$log" 2>&1; then
    step "refreshing the package lists"
    logged apt-get update -qq
    logged "${install[@]}"
  fi
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
step "configuring $build_dir"
logged cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  "${options[@]}" "$@"
step "building $what (log: $log)"
logged cmake --build "$build_dir" -j"$(nproc)" "${targets[@]}"

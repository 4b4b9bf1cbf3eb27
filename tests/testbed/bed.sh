# Router test bed: sourced by run.sh inside a private mount namespace.
#
#   tb_wan (203.0.113.1) --- eth0 [tb_router] br-lan --- eth0 tb_lan (192.168.50.10)
#                         203.0.113.2     192.168.50.1
#   tb_guest (192.168.60.10) --- br-guest [tb_router] 192.168.60.1
#
# The router runs arnonat and Debian's arno-iptables-firewall through the
# integration kit.  Every address used lives inside these namespaces; the
# host's interfaces, firewall and files are never touched (all paths the
# router writes are private mounts of this namespace).

WAN_IP=203.0.113.1
ROUTER_WAN_IP=203.0.113.2
ROUTER_LAN_IP=192.168.50.1
LAN_IP=192.168.50.10
ROUTER_GUEST_IP=192.168.60.1
GUEST_IP=192.168.60.10
NAMESPACES="tb_wan tb_router tb_lan tb_guest"
PY=/usr/bin/python3

die() { echo "testbed: $*" >&2; exit 1; }

# Private copies of every fixed path the router and arno write or read.
bed_mounts()
{
    local kit=$1 state=$2
    mount --make-rprivate / || die "cannot make mounts private"
    mount -t tmpfs tb-vartmp /var/tmp || die "tmpfs /var/tmp"
    # A checkout or build under /tmp stays reachable at its own path once the
    # bed's own /tmp hides the host's.
    mkdir -p /var/tmp/.host-tmp
    mount --rbind /tmp /var/tmp/.host-tmp || die "bind host /tmp"
    mount -t tmpfs tb-tmp /tmp || die "tmpfs /tmp"
    local tree first
    for tree in "$TOP" "$BUILD"; do
        [[ $tree == /tmp/?* ]] || continue
        first=${tree#/tmp/}; first=${first%%/*}
        mountpoint -q "/tmp/$first" && continue
        mkdir -p "/tmp/$first"
        mount --bind "/var/tmp/.host-tmp/$first" "/tmp/$first" || die "bind /tmp/$first"
    done
    mount -t tmpfs tb-run /run || die "tmpfs /run"
    mkdir -p /run/netns /run/lock
    mount -t tmpfs tb-state "$state" || die "tmpfs $state"

    # /usr/sbin (and so /sbin) and /usr/share, for the kit's programs and
    # files and a modprobe that loads nothing into the shared kernel.
    local dir
    for dir in sbin share; do
        mkdir -p "$state/$dir/upper" "$state/$dir/work"
        mount -t overlay "tb-$dir" -o "lowerdir=/usr/$dir,upperdir=$state/$dir/upper,workdir=$state/$dir/work" \
            "/usr/$dir" || die "overlay /usr/$dir"
    done
    # modprobe is a link to /bin/kmod, outside the overlay: replace the link,
    # never write through it.
    rm -f /usr/sbin/modprobe
    printf '#!/bin/sh\nexit 0\n' >/usr/sbin/modprobe && chmod 755 /usr/sbin/modprobe

    # arno's configuration: Debian's, plus the kit and the bed's interfaces.
    mkdir -p "$state/etc"
    cp -a /etc/arno-iptables-firewall/. "$state/etc/"
    mount --bind "$state/etc" /etc/arno-iptables-firewall || die "bind arno configuration"
    # the kit, installed as on a router
    sh "$kit/install.sh" --wan eth0 --lan "br-lan br-guest" --lan-net "192.168.50.0/24 192.168.60.0/24" \
        --apply "$BUILD/arnonat-apply" >/dev/null || die "kit install failed"
    # arno must not change the shared kernel's console log level or global
    # conntrack settings, and the bed has no IPv6
    cat >/etc/arno-iptables-firewall/conf.d/45-testbed.conf <<EOF
IPV6_SUPPORT=0
DMESG_PANIC_ONLY=0
CONNTRACK=0
EOF
}

in_ns() { local ns=$1; shift; ip netns exec "$ns" "$@"; }

bed_network()
{
    local ns
    for ns in $NAMESPACES; do
        ip netns add "$ns" || die "netns $ns"
        ip -n "$ns" link set lo up
    done
    ip -n tb_router link add eth0 type veth peer name eth0 netns tb_wan || die "veth wan"
    ip -n tb_router link add br-lan type veth peer name eth0 netns tb_lan || die "veth lan"
    ip -n tb_router link add br-guest type veth peer name eth0 netns tb_guest || die "veth guest"
    ip -n tb_wan addr add "$WAN_IP/24" dev eth0
    ip -n tb_router addr add "$ROUTER_WAN_IP/24" dev eth0
    ip -n tb_router addr add "$ROUTER_LAN_IP/24" dev br-lan
    ip -n tb_router addr add "$ROUTER_GUEST_IP/24" dev br-guest
    ip -n tb_lan addr add "$LAN_IP/24" dev eth0
    ip -n tb_guest addr add "$GUEST_IP/24" dev eth0
    for ns in $NAMESPACES; do
        for dev in eth0 br-lan br-guest; do
            ip -n "$ns" link set "$dev" up 2>/dev/null
        done
    done
    ip -n tb_lan route add default via "$ROUTER_LAN_IP"
    ip -n tb_guest route add default via "$ROUTER_GUEST_IP"
    # The WAN side knows no route to the LAN: only NAT gets answers back.
    in_ns tb_router sysctl -qw net.ipv4.ip_forward=1
}

bed_teardown()
{
    local ns pid
    for pid in $BED_PIDS; do kill "$pid" 2>/dev/null; done
    for ns in $NAMESPACES; do ip netns del "$ns" 2>/dev/null; done
    return 0
}

# Empties the router's rule sets between tests.
bed_reset_firewall()
{
    local tables table chain
    for tables in iptables ip6tables; do
        for table in filter nat mangle raw; do
            in_ns tb_router "$tables" -t "$table" -F
            in_ns tb_router "$tables" -t "$table" -X
        done
        for chain in INPUT FORWARD OUTPUT; do in_ns tb_router "$tables" -P "$chain" ACCEPT; done
    done
}

# ---- the router -----------------------------------------------------------

# Settings of a plain home router; tests add or change keys.
bed_base_settings()
{
    : >"$ZOLT_NVRAM_FILE"
    setting router_mode=1
    setting wan_proto=dhcp
    setting wan_ifname=eth0
    setting wan_ipaddr="$ROUTER_WAN_IP"
    setting lan_ifname=br-lan
    setting lan_ipaddr="$ROUTER_LAN_IP"
    setting lan_netmask=255.255.255.0
    setting dhcp_start=192.168.50.100
    setting dhcp_end=192.168.50.200
    setting http_rmenable=0
    setting http_rmport=8080
}

setting() { "$BUILD/nvram" set "$1" >/dev/null || die "cannot store $1"; }

# Runs a command on the router with its settings store and programs.
router() { in_ns tb_router env ZOLT_NVRAM_FILE="$ZOLT_NVRAM_FILE" PATH="$BUILD:$PATH" "$@"; }

# arnonat with a run word; its output and arno's errors go to $STATE/arnonat.log.
arnonat_run()
{
    router "$BUILD/arnonat" "$@" >"$STATE/arnonat.log" 2>&1
}

# ---- packets -----------------------------------------------------------------

# Starts a listener in NS (probe.py listen ...); its report goes to FILE.
listen()
{
    local ns=$1 file=$2; shift 2
    : >"$file"
    in_ns "$ns" "$PY" "$TESTBED/probe.py" listen "$@" >"$file" 2>&1 &
    BED_PIDS="$BED_PIDS $!"
    LISTENER=$!
    # wait until it is bound
    local i
    for i in $(seq 50); do grep -aq '^ready' "$file" && return 0; sleep 0.1; done
    die "listener in $ns did not start: $(cat "$file")"
}

# Waits for the last listener to end (it ends after one packet or its
# timeout); HEARD is then "ADDR DATA" of what it got, or empty.
heard()
{
    wait "$LISTENER" 2>/dev/null
    HEARD=$(grep -a '^from ' "$1" | head -1 | cut -d' ' -f2-)
}

send() { local ns=$1; shift; in_ns "$ns" "$PY" "$TESTBED/probe.py" send "$@"; }

# A rule set without counters or comments, for comparison (ruleset6: IPv6).
ruleset() { in_ns tb_router "${1:-iptables}-save" | grep -v '^#' | sed -E 's/\[[0-9]+:[0-9]+\]/[0:0]/'; }
ruleset6() { ruleset ip6tables; }

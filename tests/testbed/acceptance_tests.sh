# Netfilter acceptance, sourced by run.sh: with every feature on, each line
# the router writes must be taken by the real iptables, applied as
# tools/arnonat-check applies them (arnonat-apply check: no shell).

# Every feature at its limits, in one of two block modes: 1 by schedule, 2 always.
full_settings()
{
    local mode=$1
    setting wan_dns='8.8.8.8 8.8.4.4'
    setting lan_ipaddr2="$ROUTER_GUEST_IP"
    setting enable_vlan=enable
    setting 'vlan_name=video voice'
    setting 'vlan_id=10 20'
    setting iptv_enabled=1
    setting vlan_id_enable=1
    setting iptv_vlan_id=4094
    setting pptp_passthrough=0
    setting l2tp_passthrough=0
    setting ipsec_passthrough=0
    setting usb_wan_ftp_enable=1
    setting usb_wan_ftp_port=21
    setting usb_wan_http_enable=1
    setting usb_wan_http_port=65535
    setting ru_igmp_enable=1
    setting fw_spi_enab=1
    setting http_rmenable=1
    setting http_rmport=65534
    setting rip_enable=1
    setting fw_dmz_enab=1
    setting dmz_ipaddr="$LAN_IP"
    setting time_zone=9
    setting schedule_daylightadjust=1
    setting schedule_config=65:22:0:6:30
    setting bs_enable="$mode"
    setting "bs_keywords=casino"$'\n'"www.example.com"$'\n'"a-keyword-of-many-characters-for-the-longest-log-name-in-the-chain"
    setting bs_trustedip_enable=1
    setting bs_trustedip=192.168.50.20
    setting fw_bks_block_type="$mode"
    setting 'fw_bks_block_service=1;1;HTTP;1;80;80;0;0@1;1;DNS;2;53;53;0;1;192.168.50.5@1;1;Game (PC);3;6970;7170;0;2;192.168.50.10;192.168.50.20@'
    setting 'inbound_record=3@1;8080;8080;80;80;9@2;6000;6010;7000;7010;8@3;5000;5010;5000;5010;7'
    setting fwpt_enable=1
    setting fwpt_count=2
    setting 'fwpt0=1:Game:2:0a32a8c0:6:8000:I1:1:6:9000:9010'
    setting 'fwpt1=1:Voice:1:0a32a8c0:17:5060:I1:0:17:9000:0'
}

# Writes every file the router can produce into DIR: the custom rules file
# and one run-time rules file per category.  arno is not run and the
# run-time files are not applied here.
collect_rule_files()
{
    local dir=$1
    mkdir -p "$dir"
    ARNO=/bin/true ARNONAT_RUNTIME_RULES=/nonexistent router "$BUILD/arnonat" restart >"$dir/restart.log" 2>&1
    cp /tmp/custom_iptables_rules "$dir/custom_iptables_rules"
    local word
    for word in apply_blocksites apply_blockservices apply_remotemanagement; do
        ARNONAT_RUNTIME_RULES=/nonexistent router "$BUILD/arnonat" "$word" >>"$dir/restart.log" 2>&1
        cp /tmp/custom-service-rules "$dir/$word"
    done
    # Engine rules 1 to 3 for the inbound records, then each library category.
    for word in port_forward port_trigger usb; do
        ARNONAT_RUNTIME_RULES=/nonexistent router "$STATE/router_call" \
            add2 80 80 "$LAN_IP" 8080 both -- add2 7000 7010 "$LAN_IP" 6000 udp -- \
            add2 5000 5010 "$LAN_IP" 5000 tcp -- apply "$word" >>"$dir/restart.log" 2>&1
        cp /tmp/custom-service-rules "$dir/$word"
    done
}

# A throwaway network namespace holding arno's chains that the router's
# lines use, the stock custom rules applied, and ip4tables meaning iptables.
ACCEPT_NS=tb_accept
accept_namespace()
{
    ip netns del "$ACCEPT_NS" 2>/dev/null
    ip netns add "$ACCEPT_NS" || die "netns $ACCEPT_NS"
    local chain
    for chain in EXT_MULTICAST_CHAIN EXT_FORWARD_IN_CHAIN EXT_INPUT_CHAIN INT_INPUT_CHAIN VALID_CHK; do
        in_ns "$ACCEPT_NS" iptables -N "$chain" || die "chain $chain"
    done
    in_ns "$ACCEPT_NS" sh /etc/arno-iptables-firewall/custom-rules || die "stock custom rules failed"
}

test_every_line_is_taken_by_netfilter()
{
    local mode dir stock file report
    stock=$(wc -l </etc/arno-iptables-firewall/custom-rules)
    for mode in 1 2; do
        bed_base_settings
        full_settings "$mode"
        dir=$STATE/files-$mode
        collect_rule_files "$dir"
        accept_namespace
        [[ $(head -c "$(wc -c </etc/arno-iptables-firewall/custom-rules)" "$dir/custom_iptables_rules") = \
            "$(cat /etc/arno-iptables-firewall/custom-rules)" ]] || fail "custom rules file does not start with the stock rules"
        for file in apply_blocksites apply_blockservices apply_remotemanagement port_forward port_trigger usb; do
            sh -n "$dir/$file" || fail "$file is not valid shell"
        done
        report=$(in_ns "$ACCEPT_NS" "$BUILD/arnonat-apply" check -s "$stock" "$dir/custom_iptables_rules" \
            "$dir"/{apply_blocksites,apply_blockservices,apply_remotemanagement,port_forward,port_trigger,usb})
        ip netns del "$ACCEPT_NS"
        echo "  mode $mode: $(grep -c . "$dir/custom_iptables_rules") custom rules lines, vendor-only lines:"
        grep '^NOTE' <<<"$report" | sort -u | sed 's/^/    /'
        grep -q '^checked [1-9][0-9]* commands in 7 files: 0 rejected, .*, 0 shell' <<<"$report" ||
            fail "lines rejected or not checked: $(grep -A1 -e '^REJECTED' -e '^NOT RUN' -e '^checked' <<<"$report")"
        grep -q -- '--algo bm' "$dir/custom_iptables_rules" || fail "no block sites lines were written"
        grep -q 'BLOCK_SERVICE_CHAIN --ipv4' "$dir/custom_iptables_rules" || fail "no block services lines were written"
        grep -q 'PORTFORWARD_NAT_CHAIN' "$dir/port_forward" || fail "no port forwarding lines were written"
        grep -q 'TRIGGER' "$dir/port_trigger" || fail "no port trigger lines were written"
    done
    cat "$STATE"/files-*/restart.log >"$STATE/arnonat.log"
}

test_check_tool_passes_a_sound_store_and_names_rejected_lines()
{
    local out before
    before=$(ruleset)
    full_settings 2
    cp "$ZOLT_NVRAM_FILE" "$STATE/sound-store"
    out=$("$TOP/tools/arnonat-check" -b "$BUILD" "$STATE/sound-store" 2>&1) \
        || fail "sound store not passed: $(tail -5 <<<"$out")"
    grep -q ' 0 rejected' <<<"$out" || fail "no summary line: $out"
    # Without the router's LAN address the web lines of block sites lose
    # their address operand; the check must name them.  A service name that
    # holds a newline and a redirection is one quoted word: never run by a shell.
    grep -v -e '^lan_ipaddr=' -e '^fw_bks_block_service=' "$STATE/sound-store" >"$STATE/broken-store"
    echo 'fw_bks_block_service=1;1;X\n>/var/tmp/pwned&#;1;80;80;0;0@' >>"$STATE/broken-store"
    out=$("$TOP/tools/arnonat-check" -b "$BUILD" "$STATE/broken-store" 2>&1) && fail "broken store passed"
    [[ -e /var/tmp/pwned ]] && fail "a line of the check ran in a shell"
    grep -q '^REJECTED custom_iptables_rules:[0-9]*: iptables -I BLOCKSITE 1 -p tcp ! -d  --dport 80' <<<"$out" \
        || fail "rejected line not named: $(head -5 <<<"$out")"
    "$TOP/tools/arnonat-check" -b "$BUILD" "$STATE/no-such-store" >/dev/null 2>&1
    [[ $? = 2 ]] || fail "a missing store is not a usage error"
    # the check never touches the router's own rule set
    [[ $(ruleset) = "$before" ]] || fail "the router's rule set changed"
}

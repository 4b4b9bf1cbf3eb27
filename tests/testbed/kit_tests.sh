# The kit's transactions, sourced by run.sh: arno and the custom services
# runner apply the router's files as one iptables-restore per table, with the
# same outcome as line by line.

# Restarts the router from empty rule sets line by line (as without the kit),
# then through the kit's transactions: the rule sets and arno's count of
# failed rules must be the same.
same_both_ways()
{
    local lines batched warned
    bed_reset_firewall
    ARNONAT_LINE_BY_LINE=1 arnonat_run restart || fail "$1: restart line by line: exit status $?"
    lines=$(ruleset; ruleset6)
    warned=$(grep -ao 'WARNING: [0-9]* firewall rules failed' "$STATE/arnonat.log")
    bed_reset_firewall
    arnonat_run restart || fail "$1: restart in transactions: exit status $?"
    batched=$(ruleset; ruleset6)
    [[ $lines = "$batched" ]] || fail "$1: the rule sets differ: $(diff <(echo "$lines") <(echo "$batched") | head -8)"
    [[ $(grep -ao 'WARNING: [0-9]* firewall rules failed' "$STATE/arnonat.log") = "$warned" ]] ||
        fail "$1: arno counted otherwise than '$warned'"
}

test_transactions_give_the_rule_set_of_line_by_line()
{
    python3 "$TOP/bench/config_run_bench.py" --settings >"$ZOLT_NVRAM_FILE"
    same_both_ways "maximal settings"
    # the settings of each traffic test where it first restarts the router
    local t
    for t in $(grep -o '^test_[a-z_]*' "$TESTBED/traffic_tests.sh"); do
        bed_base_settings
        (arnonat_run() { exit 0; }; "$t") >/dev/null 2>&1
        same_both_ways "settings of ${t#test_}"
    done
}

test_transactions_give_the_rule_sets_of_line_by_line_with_ipv6_on()
{
    local conf=/etc/arno-iptables-firewall/conf.d/45-testbed.conf
    sed -i 's/^IPV6_SUPPORT=0/IPV6_SUPPORT=1/' "$conf"
    full_settings 2
    same_both_ways "every feature, IPv6 on"
    # the stock rules give the router's lines their chains in IPv6 too
    grep -q -- '-A BLOCKSITE -p udp' <<<"$(ruleset6)" || fail "the router's lines did not reach IPv6"
    sed -i 's/^IPV6_SUPPORT=1/IPV6_SUPPORT=0/' "$conf"
}

test_a_refused_line_is_reported_and_every_other_line_applies()
{
    setting bs_enable=2
    setting bs_keywords=casino
    arnonat_run restart
    local before out after
    before=$(ruleset)
    printf 'iptables -A BLOCKSITE -p tcp --dport %s\n' '1 -j DROP' '2 -j NO_SUCH_CHAIN' '3 -j DROP' \
        >>/tmp/custom_iptables_rules
    out=$(router /usr/sbin/carno-iptables-firewall.sh restart 2>&1)
    [[ $(diff <(echo "$before") <(ruleset) | grep '^[<>]') = \
        $'> -A BLOCKSITE -p tcp -m tcp --dport 1 -j DROP\n> -A BLOCKSITE -p tcp -m tcp --dport 3 -j DROP' ]] ||
        fail "not every other line applied: $(diff <(echo "$before") <(ruleset))"
    grep -aq 'iptables -A BLOCKSITE -p tcp --dport 2 -j NO_SUCH_CHAIN' <<<"$out" || fail "arno did not name the refused line"
    grep -aq 'WARNING: 1 firewall rules failed to apply' <<<"$out" || fail "arno did not count the refused line"
    # the custom services runner, with and without arnonat-apply
    printf 'iptables -A BLOCKSITE_IN_CHAIN -p udp --dport %s\n' '4 -j DROP' '5 -j NO_SUCH_CHAIN' '6 -j DROP' \
        >/tmp/custom-service-rules
    sed -i '1i iptables -F BLOCKSITE_IN_CHAIN' /tmp/custom-service-rules
    out=$(router /sbin/main_run_custom_services 2>&1)
    grep -q "NO_SUCH_CHAIN' does not exist" <<<"$out" || fail "the runner did not report the refused line: $out"
    after=$(ruleset)
    grep -q 'BLOCKSITE_IN_CHAIN -p udp -m udp --dport 6 -j DROP' <<<"$after" || fail "the runner's last line missing"
    out=$(ARNONAT_APPLY=/nonexistent router /sbin/main_run_custom_services 2>&1)
    [[ $(grep -c 'missing' <<<"$out") = 1 ]] || fail "no single notice without arnonat-apply: $out"
    [[ $(ruleset) = "$after" ]] || fail "the runner without arnonat-apply did otherwise"
}

#!/usr/bin/env bash
# Router test bed: arnonat and the real arno-iptables-firewall, tested with
# real packets between network namespaces.  Needs root, iproute2, iptables
# (nf_tables), arno-iptables-firewall and python3 (scripts/install-deps.sh).
#
#   tests/testbed/run.sh [BUILD_DIR] [TEST...]
#
# BUILD_DIR holds the built arnonat and nvram (default: build).  With TEST
# names only those tests run.  The host is checked before and after: its
# rule set, interfaces, network namespaces and console log level must be
# unchanged.
set -uo pipefail
TESTBED=$(cd "$(dirname "$0")" && pwd)
TOP=$(cd "$TESTBED/../.." && pwd)

if [[ ${1:-} != --inside ]]; then
    build=${1:-$TOP/build}
    [[ $build = /* ]] || build=$TOP/$build
    shift || true
    [[ $(id -u) = 0 ]] || { echo "testbed: needs root" >&2; exit 1; }
    for tool in ip iptables-save unshare /usr/sbin/arno-iptables-firewall /usr/bin/python3; do
        command -v "$tool" >/dev/null || { echo "testbed: $tool missing (scripts/install-deps.sh)" >&2; exit 1; }
    done
    [[ -x $build/arnonat && -x $build/nvram && -x $build/arnonat-apply && -e $build/libarnonat_sim.so ]] ||
        { echo "testbed: no arnonat in $build" >&2; exit 1; }
    host_state() {
        iptables-save 2>/dev/null | grep -v '^#' | sed -E 's/\[[0-9]+:[0-9]+\]//'
        ip -o link show | sed -E 's/ qlen [0-9]+//'
        ip -o addr show
        ip netns list 2>/dev/null
        cat /proc/sys/kernel/printk
        ls -d /tmp/extra_arno_config /tmp/custom_iptables_rules /tmp/custom-service-rules \
            /usr/sbin/carno-iptables-firewall.sh /usr/sbin/main_run_custom_services \
            /usr/sbin/ip4tables /usr/sbin/arnonat-apply /usr/share/arnonat /run/netns/tb_* 2>/dev/null
        md5sum /etc/arno-iptables-firewall/custom-rules /usr/sbin/modprobe 2>/dev/null
    }
    before=$(host_state)
    unshare --mount --propagation private bash "$0" --inside "$build" "$@"
    status=$?
    after=$(host_state)
    if [[ $before != "$after" ]]; then
        echo "testbed: the host changed during the run:" >&2
        diff <(echo "$before") <(echo "$after") >&2
        status=1
    fi
    exit $status
fi

# ---- inside the private mount namespace --------------------------------------
shift
BUILD=$1; shift
STATE=/mnt
KIT=$TOP/integration
. "$TESTBED/bed.sh"
bed_mounts "$KIT" "$STATE"
trap bed_teardown EXIT
bed_network
export ZOLT_NVRAM_FILE=$STATE/nvram
cc -std=c11 -Wall -Wextra -Werror -I"$TOP/include" "$TESTBED/router_call.c" -L"$BUILD" -larnonat_sim \
    -lzolt_nvram -Wl,-rpath,"$BUILD" -o "$STATE/router_call" || die "cannot build router_call"
BED_PIDS=""
PASSED=0 FAILED=0

fail() { echo "  FAIL: $*"; CASE_FAILED=1; }
# A packet of KIND (probe.py send; dns: a query for the name PORT, to port
# 53) from NS to HOST:PORT, listened for by LISTENER on PORT (or on L for a
# PORT of P/L): it must arrive (LAST_FROM is then "ADDR DATA"), or be blocked.
arrives() { probe "${@:1:5}" 3; [[ -n $HEARD ]] || fail "$6: nothing arrived"; LAST_FROM=$HEARD; }
blocked() { probe "${@:1:5}" 2; [[ -z $HEARD ]] || fail "$6: arrived ($HEARD)"; }
probe() { # LISTENER NS KIND HOST PORT SECONDS
    local at=${5#*/}
    [[ $3 = dns ]] && at=53
    listen "$1" "$STATE/l" "${3/dns/udp}" "$at" "$6"
    send "$2" "$3" "$4" "${5%/*}" probe >/dev/null
    heard "$STATE/l"
}
expect_no_tcp() {
    ! send "$1" tcp "$2" "$3" >/dev/null 2>&1 || fail "$4: connection to $2:$3 was made"
}

. "$TESTBED/traffic_tests.sh"
. "$TESTBED/acceptance_tests.sh"
. "$TESTBED/kit_tests.sh"

tests=("$@")
((${#tests[@]})) || tests=($(declare -F | awk '{print $3}' | grep '^test_'))
for t in "${tests[@]}"; do
    t=test_${t#test_}
    echo "-- ${t#test_}"
    declare -F "$t" >/dev/null || { echo "  FAIL: no such test"; FAILED=$((FAILED + 1)); continue; }
    CASE_FAILED=0
    bed_base_settings
    bed_reset_firewall
    rm -f /tmp/extra_arno_config /tmp/custom_iptables_rules /tmp/custom-service-rules
    "$t"
    if ((CASE_FAILED)); then
        FAILED=$((FAILED + 1))
        echo "   (arnonat said:)"; sed 's/^/     /' "$STATE/arnonat.log" 2>/dev/null | tail -20
        if [[ -n ${TESTBED_VERBOSE:-} ]]; then
            echo "   (custom rules file:)"; sed 's/^/     /' /tmp/custom_iptables_rules 2>/dev/null
            echo "   (router's rule set:)"; ruleset | sed 's/^/     /'
        fi
    else
        PASSED=$((PASSED + 1)); echo "  ok"
    fi
done
echo "testbed: $PASSED passed, $FAILED failed"
((FAILED == 0))

#!/usr/bin/env bash
# What the real firewall costs: arno-iptables-firewall on the router test bed
# (tests/testbed), with every feature of the router at its limits (the
# settings of bench/config_run_bench.py).  Needs root and the test bed's
# packages (scripts/install-deps.sh).
#
#   bench/firewall_bench.sh all [BUILD_DIR] [RUNS]   set up, time every figure
#                                                    (median of RUNS, default 5), tear down
#   bench/firewall_bench.sh setup [BUILD_DIR]        keep a bed: a mount namespace
#                                                    bound at /run/arnonat-bench/mnt
#   bench/firewall_bench.sh run FIGURE               one figure as one process
#   bench/firewall_bench.sh teardown
#
# FIGURE:
#   floor       arno's own restart, without the router's lines
#   lines       `arnonat restart`, the custom rules applied line by line (as without the kit)
#   batched     `arnonat restart` through the kit's transactions
#   blocksites  `arnonat apply_blocksites` (255 keywords, through the runner)
#   check       tools/arnonat-check on the maximal store
# `run` is meant for an outside timer: each figure is the whole process.
set -uo pipefail
BENCH=$(cd "$(dirname "$0")" && pwd)
TOP=$(cd "$BENCH/.." && pwd)
SELF=$BENCH/$(basename "$0")
HOLD=/run/arnonat-bench
NS=$HOLD/mnt

die() { echo "firewall_bench: $*" >&2; exit 1; }

inside_setup()
{
    BUILD=$1 STATE=/mnt TESTBED=$TOP/tests/testbed
    . "$TESTBED/bed.sh"
    bed_mounts "$TOP/integration" "$STATE"
    bed_network
    echo "$BUILD" >"$STATE/build"
    export ZOLT_NVRAM_FILE=$STATE/nvram
    python3 "$BENCH/config_run_bench.py" --settings >"$STATE/maximal"
    cp "$STATE/maximal" "$ZOLT_NVRAM_FILE"
    router "$BUILD/arnonat" restart >/dev/null 2>&1 || die "first restart failed"
}

inside_run()
{
    STATE=/mnt TESTBED=$TOP/tests/testbed BUILD=$(cat /mnt/build)
    . "$TESTBED/bed.sh"
    export ZOLT_NVRAM_FILE=$STATE/nvram
    case $1 in
    floor) in_ns tb_router /usr/sbin/arno-iptables-firewall restart >/dev/null 2>&1 ;;
    lines) ARNONAT_LINE_BY_LINE=1 router "$BUILD/arnonat" restart >/dev/null 2>&1 ;;
    batched) router "$BUILD/arnonat" restart >/dev/null 2>&1 ;;
    blocksites) router "$BUILD/arnonat" apply_blocksites >/dev/null 2>&1 ;;
    check) "$TOP/tools/arnonat-check" -b "$BUILD" "$STATE/maximal" >"$STATE/check.out" 2>&1 ||
        { tail -3 "$STATE/check.out" >&2; exit 1; } ;;
    *) die "no figure '$1'" ;;
    esac
}

setup()
{
    local build=${1:-$TOP/build}
    build=$(readlink -f "$build")
    [[ $(id -u) = 0 ]] || die "needs root"
    [[ -x $build/arnonat && -x $build/arnonat-apply ]] || die "no arnonat in $build"
    [[ ! -e $NS ]] || die "a bed is kept already ($0 teardown)"
    mkdir -p "$HOLD"
    mountpoint -q "$HOLD" || { mount --bind "$HOLD" "$HOLD" && mount --make-private "$HOLD"; } || die "cannot hold $HOLD"
    touch "$NS"
    unshare --mount="$NS" --propagation private bash "$SELF" --setup-inside "$build" || { teardown; die "setup failed"; }
}

teardown()
{
    if [[ -e $NS ]]; then
        nsenter --mount="$NS" bash -c 'for ns in tb_wan tb_router tb_lan tb_guest; do ip netns del $ns 2>/dev/null; done'
        umount "$NS" 2>/dev/null
        rm -f "$NS"
    fi
    mountpoint -q "$HOLD" && umount "$HOLD"
    rmdir "$HOLD" 2>/dev/null
    return 0
}

run() { nsenter --mount="$NS" bash "$SELF" --run-inside "$1"; }

# Times each figure RUNS times, interleaved, and prints the medians.
all()
{
    local build=${1:-$TOP/build} runs=${2:-5} figure i t0 t1
    setup "$build"
    trap teardown EXIT
    declare -A times
    for ((i = 0; i < runs; i++)); do
        for figure in floor lines batched blocksites check; do
            t0=$(date +%s.%N)
            run "$figure" || die "$figure failed"
            t1=$(date +%s.%N)
            times[$figure]+="$(awk "BEGIN { print $t1 - $t0 }") "
        done
    done
    median() { tr ' ' '\n' | grep . | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
    local floor; floor=$(median <<<"${times[floor]}")
    echo "| figure | median of $runs (s) | / floor |"
    echo "|---|---:|---:|"
    for figure in floor lines batched blocksites check; do
        t0=$(median <<<"${times[$figure]}")
        printf '| %s | %.2f | %.2f |\n' "$figure" "$t0" "$(awk "BEGIN { print $t0 / $floor }")"
    done
}

case ${1:-} in
--setup-inside) inside_setup "$2" ;;
--run-inside) inside_run "$2" ;;
setup) setup "${2:-}" ;;
run) [[ -e $NS ]] || die "no bed kept ($0 setup)"; run "${2:-}" ;;
teardown) teardown ;;
all) all "${2:-}" "${3:-}" ;;
*) sed -n '2,/^set -uo/{/^#/s/^# \{0,1\}//p}' "$0"; exit 2 ;;
esac

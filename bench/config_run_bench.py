#!/usr/bin/env python3
"""Cost of a complete configuration run (`arnonat restart`), beside its floor.

`config_run_bench.py --settings` prints the maximal settings as a store file.

Started by scripts/bench.sh inside a private mount namespace: /tmp is a fresh
tmpfs, and the firewall script, the custom services runner and the packet
filter commands are no-op stubs, so only this component's own work and the
process runs it must make are measured.

The floor is a /bin/sh script that makes the same process runs through the
shell (every command the program hands to system() or popen(), the same
`sh -c` included) and writes the same standard output and the same bytes into
the same files (one `cat` each).  A second floor makes the process runs alone:
no run of the program can be cheaper than that.
"""
import os
import re
import statistics
import subprocess
import sys
import time

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build"
RUNS = int(sys.argv[2]) if len(sys.argv) > 2 and sys.argv[1] != "--settings" else 21
PROGRAM = os.path.join(BUILD, "arnonat")
PROBE = os.path.join(BUILD, "bench", "librss_probe.so")
WORK = "/tmp/bench"
STORE = WORK + "/nvram.txt"
OUTPUTS = ["/tmp/extra_arno_config", "/tmp/custom_iptables_rules", "/tmp/custom-service-rules"]
ENV = dict(os.environ, ZOLT_NVRAM_FILE=STORE, PATH=WORK + "/bin:" + os.environ["PATH"], LC_ALL="C")


def sh(cmd):
    subprocess.run(cmd, shell=True, check=True)


def write(path, text, mode=0o644):
    with open(path, "w") as f:
        f.write(text)
    os.chmod(path, mode)


def setup_sandbox():
    sh("mount -t tmpfs bench /tmp")
    os.makedirs(WORK + "/bin")
    for folder in ("/usr/sbin", "/etc"):
        name = folder.strip("/").replace("/", "_")
        up, wk = f"{WORK}/ov/{name}/up", f"{WORK}/ov/{name}/wk"
        os.makedirs(up)
        os.makedirs(wk)
        sh(f"mount -t overlay overlay -o lowerdir={folder},upperdir={up},workdir={wk} {folder}")
    noop = "#!/bin/sh\nexit 0\n"
    write("/usr/sbin/carno-iptables-firewall.sh", noop, 0o755)
    write("/sbin/main_run_custom_services", noop, 0o755)
    for tool in ("iptables", "ip4tables", "ip6tables"):
        write(f"{WORK}/bin/{tool}", noop, 0o755)
    os.makedirs("/etc/arno-iptables-firewall", exist_ok=True)
    stock = "".join(f"# stock custom rule {i}\niptables -A INPUT -p tcp --dport {1000 + i} -j DROP\n"
                    for i in range(40))
    write("/etc/arno-iptables-firewall/custom-rules", stock)


# ------------------------------------------------------------------ settings

SERVICES = [  # name, protocol (1 TCP, 3 both, else UDP), ports: the router's default services
    ("ALL", 3, 1, 65535), ("Any(TCP)", 1, 1, 65535), ("Any(UDP)", 2, 1, 65535), ("AIM", 1, 5190, 5190),
    ("Age of Empire", 2, 47624, 47624), ("BGP", 1, 179, 179), ("BOOTP CLIENT", 2, 68, 68),
    ("BOOTP SERVER", 2, 67, 67), ("CU-SEEME(7648)", 3, 7648, 7648), ("CU-SEEME(24032)", 3, 24032, 24032),
    ("DNS", 3, 53, 53), ("FINGER", 1, 79, 79), ("FTP", 1, 20, 21), ("HTTP", 1, 80, 80),
    ("HTTPS", 1, 443, 443), ("ICUII", 1, 23566, 23566), ("IDENT", 1, 113, 113), ("IP_Phone", 1, 6670, 6670),
    ("IRC", 3, 6667, 6667), ("NetMeeting", 1, 1720, 1720), ("NFS", 2, 2049, 2049), ("News", 1, 119, 119),
    ("QuakeII/III", 3, 27960, 27960), ("RCMD", 1, 512, 512), ("Real-Audio", 3, 6970, 7170),
    ("REXEC", 1, 514, 514), ("RLOGIN", 1, 513, 513), ("RTELNET", 1, 107, 107), ("RTSP", 3, 554, 554),
    ("SFTP", 1, 115, 115), ("SMTP", 1, 25, 25), ("SNMP", 3, 161, 161), ("SNMP TRAPS", 3, 162, 162),
    ("SQL-NET", 1, 1521, 1521), ("SSH", 3, 22, 22), ("STRMWORKS", 2, 1558, 1558), ("TACACS", 2, 49, 49),
    ("Telnet", 1, 23, 23), ("TFTP", 2, 69, 69), ("VDOLIVE", 1, 7000, 7000), ("VPN-IPSEC", 2, 500, 500),
    ("VPN-L2TP", 2, 1701, 1701), ("PPTP", 1, 1723, 1723),
]


def service_entries(n):
    if n == len(SERVICES):
        rows = SERVICES
    else:  # alike custom entries; short names keep 64 inside the 2047-character setting
        rows = [(f"S{i:02d}", 1 + 2 * (i % 2), 100 + i, 100 + i) for i in range(n)]
    out = []
    for i, (name, proto, lo, hi) in enumerate(rows):
        # every fourth entry for one LAN host, every fourth for a range, the rest for all
        kind, first, second = [(1, "10.0.0.9", "0"), (2, "10.0.0.9", "10.0.0.99"), (3, "0", "0"), (3, "0", "0")][i % 4]
        out.append(f"1;1;{name};{proto};{lo};{hi};0;{kind};{first};{second}@")
    value = "".join(out)
    assert len(value) <= 2047, "block services entries longer than the router keeps"
    return value


def settings(keywords=255, forwards=171, services=len(SERVICES)):
    s = {
        "router_mode": "1", "wan_proto": "dhcp", "wan_ifname": "eth1", "wan_ipaddr": "203.0.113.7",
        "lan_ifname": "br0", "lan_ipaddr": "192.168.1.1", "lan_netmask": "255.255.255.0",
        "lan_ipaddr2": "192.168.2.1", "dhcp_start": "192.168.1.2", "dhcp_end": "192.168.1.254",
        "wan_dns_sel": "0", "wan_dns": "198.51.100.1 198.51.100.2", "wan_dns1": "198.51.100.3",
        # site blocking by a schedule that crosses midnight in UTC: two fragments
        "bs_enable": "1", "bs_trustedip_enable": "1", "bs_trustedip": "192.168.1.100",
        "bs_keywords": "\n".join(f"blocked-site-{i:03d}.example.com" for i in range(keywords)),
        "schedule_config": "127:22:30:6:15", "time_zone": "0", "schedule_daylightadjust": "1",
        "fw_bks_block_type": "1", "fw_bks_block_service": service_entries(services),
        "enable_vlan": "enable", "vlan_name": " ".join(f"vlan{i}" for i in range(10)),
        "vlan_id": " ".join(str(10 + i) for i in range(10)),
        "iptv_enabled": "1", "vlan_id_enable": "1", "iptv_vlan_id": "4000",
        "fw_dmz_enab": "1", "dmz_ipaddr": "192.168.1.5",
        "inbound_record": f"{forwards}@" + "@".join(
            f"{i + 1};{3000 + 2 * i};{3000 + 2 * i + 1};{4000 + 2 * i};{4000 + 2 * i + 1};{7 + i % 3}"
            for i in range(forwards)),
        "fw_spi_enab": "1", "ipsec_passthrough": "1", "l2tp_passthrough": "1", "pptp_passthrough": "1",
        "usb_wan_ftp_enable": "1", "usb_wan_ftp_port": "2121", "usb_wan_http_enable": "1",
        "usb_wan_http_port": "8081", "http_rmenable": "1", "http_rmport": "8443", "rip_enable": "1",
        "ru_igmp_enable": "1", "fwpt_enable": "1", "enable_arnonat": "1", "enable_ap_mode": "0",
    }
    return "".join(f"{k}={v.replace(chr(92), chr(92) * 2).replace(chr(10), chr(92) + 'n')}\n"
                   for k, v in sorted(s.items()))


def use_settings(text):
    write(STORE, text)
    # A store written just now is compared again on every read until the
    # file system's clock has moved on; a router's store is older than that.
    old = time.time() - 60
    os.utime(STORE, (old, old))


# ------------------------------------------------------------------ runs

def clear_outputs():
    for p in OUTPUTS:
        if os.path.exists(p):
            os.unlink(p)


def run_program(prefix=(), env=ENV):
    clear_outputs()
    with open(WORK + "/stdout", "w") as out:
        subprocess.run([*prefix, PROGRAM, "restart"], stdout=out, stderr=subprocess.DEVNULL, env=env, check=False)


def shell_commands():
    """Every `sh -c` command the program starts, in order (from strace)."""
    trace = WORK + "/trace"
    run_program(("strace", "-f", "-qq", "-s", "100000", "-e", "trace=execve", "-e", "signal=none", "-o", trace))
    cmds = []
    pat = re.compile(r'execve\("/bin/sh", \["sh", "-c", (".*?(?<!\\)")(?:, |\])')
    for line in open(trace):
        m = pat.search(line)
        if m:
            cmds.append(eval(m.group(1)))  # a C string literal as strace prints it
    return cmds


def quote(text):
    return "'" + text.replace("'", "'\\''") + "'"


def make_floor():
    """Two floors: the process runs alone, and the same with the bytes written."""
    cmds = shell_commands()
    run_program()
    os.makedirs(WORK + "/ref", exist_ok=True)
    runs = [f"sh -c {quote(c)}" for c in cmds]
    writes = []
    for i, (src, dest) in enumerate([(WORK + "/stdout", "")] + [(p, " >" + p) for p in OUTPUTS]):
        if os.path.exists(src):
            write(f"{WORK}/ref/{i}", open(src).read())
            writes.append(f"cat {WORK}/ref/{i}{dest}")
    write(WORK + "/floor-runs.sh", "\n".join(runs) + "\n")
    write(WORK + "/floor.sh", "\n".join(writes + runs) + "\n")
    return len(cmds), len(writes), sum(os.path.getsize(p) for p in OUTPUTS if os.path.exists(p))


def wall(argv):
    clear_outputs()
    with open(WORK + "/stdout", "w") as out:
        t0 = time.perf_counter_ns()
        subprocess.run(argv, stdout=out, stderr=subprocess.DEVNULL, env=ENV, check=False)
        return (time.perf_counter_ns() - t0) / 1e6


def timed(runs):
    prog, floor, bare = [], [], []
    for _ in range(runs):  # interleaved, so all three see the same machine
        prog.append(wall([PROGRAM, "restart"]))
        floor.append(wall(["/bin/sh", WORK + "/floor.sh"]))
        bare.append(wall(["/bin/sh", WORK + "/floor-runs.sh"]))
    return statistics.median(prog), statistics.median(floor), statistics.median(bare)


def instructions():
    out = WORK + "/callgrind.out"
    if os.path.exists(out):
        os.unlink(out)
    run_program(("valgrind", "-q", "--tool=callgrind", f"--callgrind-out-file={out}"))
    for line in open(out):
        if line.startswith("summary:") or line.startswith("totals:"):
            return int(line.split()[1])
    return 0


def peak_rss(argv):
    out = WORK + "/rss"
    if os.path.exists(out):
        os.unlink(out)
    env = dict(ENV, LD_PRELOAD=PROBE, ARNONAT_RSS_OUT=out)
    clear_outputs()
    subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env, check=False)
    return int(open(out).read().split()[0])


def growth(label, sizes, make):
    rows, counts = [], []
    for n in sizes:
        use_settings(make(n))
        counts.append(instructions())
        rows.append(n)
    print(f"\n{label}: instructions of the program's own process (callgrind)")
    print(f"| {label} | instructions | added per entry since the row before |")
    print("|---:|---:|---:|")
    slopes = []
    for i, (n, c) in enumerate(zip(rows, counts)):
        if i == 0:
            print(f"| {n} | {c:,} | |")
            continue
        slope = (c - counts[i - 1]) / (n - rows[i - 1])
        slopes.append(slope)
        print(f"| {n} | {c:,} | {slope:,.0f} |")
    # Linear: the cost of one more entry does not grow with the entries already
    # there.  The step from a single entry carries that entry's own quirks
    # (fewer merged ranges, one digit less), so it is left out of the verdict
    # when larger steps are there to compare.
    judged = slopes[1:] if len(slopes) > 2 else slopes
    grows = any(b > 1.3 * a + 1000 for a, b in zip(judged, judged[1:]))
    verdict = "NOT linear" if grows else "linear"
    print(f"growth: {verdict}")
    return verdict == "linear"


def main():
    setup_sandbox()
    use_settings(settings())
    n_cmds, n_writes, n_bytes = make_floor()
    prog_ms, floor_ms, bare_ms = timed(RUNS)
    fresh = []
    for _ in range(RUNS):  # a run started right after the store was written
        write(STORE, settings())
        fresh.append(wall([PROGRAM, "restart"]))
    fresh_ms = statistics.median(fresh)
    use_settings(settings())
    ir = instructions()
    rss = peak_rss([PROGRAM, "restart"])
    rss_true = peak_rss(["/bin/true"])
    print("Complete configuration run (arnonat restart), every feature at its limits")
    print("| measure | program | floor | program / floor |")
    print("|---|---:|---:|---:|")
    print(f"| wall time, median of {RUNS} | {prog_ms:.2f} ms | {floor_ms:.2f} ms | {prog_ms / floor_ms:.2f} |")
    print(f"| wall time against the process runs alone | {prog_ms:.2f} ms | {bare_ms:.2f} ms | {prog_ms / bare_ms:.2f} |")
    print(f"| wall time, store written just before the run | {fresh_ms:.2f} ms | {floor_ms:.2f} ms | {fresh_ms / floor_ms:.2f} |")
    print(f"| process runs through the shell | {n_cmds} | {n_cmds} (+{n_writes} cat) | |")
    print(f"| bytes written to the rule files | {n_bytes:,} | {n_bytes:,} | |")
    print(f"| instructions, own process (callgrind) | {ir:,} | | |")
    print(f"| peak resident memory, own process | {rss} kB | {rss_true} kB (/bin/true) | |")
    ok = growth("keywords", [1, 16, 64, 255], lambda n: settings(keywords=n))
    ok &= growth("forwarding entries", [1, 32, 96, 171], lambda n: settings(forwards=n))
    ok &= growth("service entries", [1, 16, 40, 64], lambda n: settings(services=n))
    if not ok:
        print("\nA step grows faster than linearly: look for work repeated per entry.")
    return 0


if __name__ == "__main__":
    if BUILD == "--settings":  # the maximal settings as a store file, for other benchmarks and tests
        sys.stdout.write(settings())
        sys.exit(0)
    sys.exit(main())

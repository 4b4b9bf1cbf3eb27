// Port forwarding rules: for every forwarding entry, per protocol, the DNAT
// rule on the WAN side, a LOG rule, the FORWARD accept rule and, when the
// router has a WAN address, the DNAT and SNAT pair that lets LAN hosts reach
// the service through the router's WAN address.
#include "rules/forwarding/port_forward.h"

#include <arpa/inet.h>

#include <climits>
#include <cstdio>
#include <cstring>

#include "agapi.h"
#include "arnonat_common.h"
#include "arnonat_forwarding.h"
#include "platform/line_buffer.h"
#include "platform/runtime_rules.h"
#include "platform/shell_run.h"
#include "platform/text_values.h"
#include "zolt_nvram.h"

namespace arnonat {

namespace {

constexpr char kWho[] = "ARNONAT_PortForwardRule";
constexpr size_t kSettingSize = 32; // lan_ifname and dhcp_start are read into 32 bytes

// The longest line holds two interface names and two addresses from the
// settings as shell words, plus nine ports; a WAN address too long for it is
// refused.
using Line = LineBuffer<1024>;
using Prefix = LineBuffer<512>;
using Dotted = DottedText;


// What every entry reads afresh.
struct Router {
    char wan[ARNONAT_WAN_IFNAME_SIZE]; // W
    char lan[kSettingSize];            // L
    char pool[kSettingSize];           // H, first address of the DHCP pool
    const char *wan_address;           // P
    bool has_wan_address;

    void read()
    {
        arnonat_getWanInterface(wan);
        zoltNvramConfig_read("lan_ifname", lan, sizeof lan);
        zoltNvramConfig_read("dhcp_start", pool, sizeof pool);
        wan_address = zoltNvramConfig_get("wan_ipaddr");
        // An empty address counts as one: only "0.0.0.0" means none.
        has_wan_address = std::strcmp(wan_address, "0.0.0.0") != 0;
    }
};

struct Shape {
    bool single;
    bool translated;
};

struct Block {
    const ForwardEntry &e;
    Shape shape;
    const char *server; // D
    const Router &router;
    const LineSpan &nat_prefix;
    const LineSpan &forward_prefix;
};

void dnat_clause(LineSpan &line, const Block &b, bool tcp)
{
    const ForwardEntry &e = b.e;
    if (b.shape.single && !b.shape.translated)
        line.append("--dport %d -j DNAT --to-destination %s", e.int_start, b.server);
    else if (b.shape.single)
        line.append("--dport %d -j DNAT --to-destination %s:%d", e.ext_start, b.server, e.int_start);
    else if (!b.shape.translated)
        // TCP matches the internal range, UDP the external start; both are
        // the same ports for an entry that is not translated.
        line.append("--dport %d:%d -j DNAT --to-destination %s", tcp ? e.int_start : e.ext_start,
                    e.int_end, b.server);
    else
        line.append("--dport %d:%d -j DNAT --to-destination %s:%d-%d --onebyone", e.ext_start,
                    e.ext_end, b.server, e.int_start, e.int_end);
}

void accept_clause(LineSpan &line, const Block &b)
{
    const ForwardEntry &e = b.e;
    if (b.shape.single)
        line.append("--dport %d -j ACCEPT", b.shape.translated ? e.int_start : e.ext_start);
    else if (b.shape.translated)
        line.append("--dport %d:%d -j ACCEPT", e.int_start, e.int_end);
    else
        line.append("--dport %d:%d -j ACCEPT", e.ext_start, e.ext_end);
}

void port_clause(LineSpan &line, const Block &b)
{
    if (b.shape.single)
        line.append("--dport %d", b.e.ext_start);
    else
        line.append("--dport %d:%d", b.e.ext_start, b.e.ext_end);
}

// Two blanks after the chain name.
void loopback_dnat(LineSpan &line, const Block &b, const char *proto)
{
    const ForwardEntry &e = b.e;
    line.append("iptables -t nat -A PORTFORWARD_NAT_CHAIN  -p %s -i ", proto);
    line.word(b.router.lan).raw(" -s ").word(b.router.pool).raw("/24 -d ");
    line.word(b.router.wan_address).raw("/32 ");
    if (b.shape.single)
        line.append("--dport %d -j DNAT --to-destination %s", e.ext_start, b.server);
    else
        line.append("--dport %d:%d -j DNAT --to-destination %s", e.ext_start, e.ext_end, b.server);
    if (b.shape.translated && b.shape.single)
        line.append(":%d", e.int_start);
    else if (b.shape.translated)
        line.append(":%d-%d --onebyone", e.int_start, e.int_end);
}

void loopback_snat(LineSpan &line, const Block &b, const char *proto)
{
    line.append("iptables -t nat -A POST_PORTFORWARD_CHAIN -p %s -s ", proto);
    line.word(b.router.pool).raw("/24 -o ").word(b.router.lan);
    line.append(" -d %s ", b.server);
    if (b.shape.single)
        line.append("--dport %d", b.e.int_start);
    else
        line.append("--dport %d:%d", b.e.int_start, b.e.int_end);
    line.raw(" -j SNAT --to-source ").word(b.router.wan_address);
}

// Ends a built line and writes it.
void write_line(File &file, Line &line)
{
    line.raw("\n");
    file.put(line, kWho);
}

void write_block(File &file, const Block &b, bool tcp)
{
    const char *proto = tcp ? "tcp" : "udp";
    Line line;
    line.append("%s -p %s ", b.nat_prefix.c_str(), proto);
    dnat_clause(line, b, tcp);
    write_line(file, line);

    line.clear();
    line.raw("iptables -t nat -A POSTROUTING -o ").word(b.router.lan);
    line.append(" -p %s ", proto);
    port_clause(line, b);
    line.raw(" -j LOG --log-prefix REMOTE_ACCESS --log-level 5");
    write_line(file, line);

    line.clear();
    line.append("%s -p %s ", b.forward_prefix.c_str(), proto);
    accept_clause(line, b);
    write_line(file, line);

    if (!b.router.has_wan_address)
        return;
    line.clear();
    loopback_dnat(line, b, proto);
    write_line(file, line);
    line.clear();
    loopback_snat(line, b, proto);
    write_line(file, line);
}


} // namespace

void write_forward_entry(File &file, const ForwardEntry &entry)
{
    Router router;
    router.read();
    if (entry.protocol == 0 || entry.protocol == 5 || entry.protocol == 6)
        return;
    const NatRuleRecord *found = agApi_zoltGetNatRuleByID(entry.rule_id);
    if (!found && entry.rule_id != kDirectEntry)
        return;

    ForwardEntry e = entry;
    // An internal port of 0 means the external ports themselves; written as
    // it stands, the rules would match or send to port 0.
    bool translated = e.int_start != e.ext_start && e.int_start != 0;
    if (!translated && e.int_start == 0) {
        e.int_start = e.ext_start;
        e.int_end = e.ext_end;
    }

    Prefix nat_prefix, forward_prefix;
    nat_prefix.raw("iptables -t nat -A PORTFORWARD_NAT_CHAIN -i ").word(router.wan);
    forward_prefix.raw("iptables -A PORTFORWARD_FORWARD_IN_CHAIN  -i ").word(router.wan);
    forward_prefix.raw(" ! -o ").word(router.wan);
    Dotted server, source;
    if (e.rule_id != kDirectEntry) {
        dotted(server, found->lan_ip);
        if (found->wan_ip != 0) {
            dotted(source, found->wan_ip);
            nat_prefix.append(" -s %s", source);
            forward_prefix.append(" -s %s", source);
        }
    } else {
        dotted(server, e.server);
    }
    forward_prefix.append(" -d %s", server);
    if (!nat_prefix.ready(kWho) || !forward_prefix.ready(kWho))
        return;

    const Block b{e, {e.ext_start == e.ext_end, translated}, server, router, nat_prefix,
                  forward_prefix};
    if (e.protocol == ARNONAT_PROTO_TCP || e.protocol == ARNONAT_PROTO_BOTH)
        write_block(file, b, true);
    if (e.protocol == ARNONAT_PROTO_UDP || e.protocol == ARNONAT_PROTO_BOTH)
        write_block(file, b, false);
}

bool forward_entry_from_words(int argc, char *const argv[], ForwardEntry &entry)
{
    if (argc < 5 || !argv || !argv[1] || !argv[2] || !argv[3] || !argv[4]) {
        std::printf("[ARNONAT_ExecuteOnePortForwardRule]:words missing (%d given, 5 needed): rule not applied\n",
                    argc);
        return false;
    }
    in_addr server;
    if (inet_pton(AF_INET, argv[3], &server) != 1) {
        std::printf("[ARNONAT_ExecuteOnePortForwardRule]:server address is not a dotted quad: rule not applied\n");
        return false;
    }
    entry = ForwardEntry{kDirectEntry, atoi_clamped(argv[4]), atoi_clamped(argv[4]), atoi_clamped(argv[1]),
                         atoi_clamped(argv[2]), 0, server.s_addr};
    const char *proto = argc > 5 && argv[5] ? argv[5] : "";
    if (std::strcmp(proto, "tcp") == 0)
        entry.protocol = ARNONAT_PROTO_TCP;
    else if (std::strcmp(proto, "udp") == 0)
        entry.protocol = ARNONAT_PROTO_UDP;
    else if (std::strcmp(proto, "both") == 0)
        entry.protocol = ARNONAT_PROTO_BOTH;
    return true;
}

} // namespace arnonat

using arnonat::File;
using arnonat::ForwardEntry;

extern "C" int ARNONAT_GeneratePortForwardRules(const char *path)
{
    File file = arnonat::open_rules(path, nullptr);
    if (!file)
        return -1;
    file.put("iptables -F PORTFORWARD_FORWARD_IN_CHAIN\n");
    file.put("iptables -t nat -F PORTFORWARD_NAT_CHAIN\n");
    file.put("iptables -t nat -F POST_PORTFORWARD_CHAIN\n");

    ARNONAT_fwInboundReadFromRAM();
    const ArnonatInboundTable &t = g_iPolicyRecord;
    int count = t.count < ARNONAT_INBOUND_MAX ? t.count : ARNONAT_INBOUND_MAX;
    for (int k = 0; k < count; ++k) {
        const ForwardEntry entry{t.ruleId[k], t.extStart[k], t.extEnd[k], t.intStart[k],
                                 t.intEnd[k], t.protocol[k], t.serverAddr[k]};
        arnonat::write_forward_entry(file, entry);
    }
    return file.finish(0);
}

extern "C" int ARNONAT_ExecuteOnePortForwardRule(int argc, char *const argv[])
{
    ForwardEntry entry;
    if (!arnonat::forward_entry_from_words(argc, argv, entry))
        return 0;

    // The rule is applied by running the file itself.
    arnonat::RuntimeRules rules("ARNONAT_ExecuteOnePortForwardRule");
    if (!rules)
        return 0;
    File script = rules.open_with_header();
    arnonat::write_forward_entry(script, entry);
    rules.apply(script.close(), arnonat::kRuntimeRulesFile, true);
    return 0;
}

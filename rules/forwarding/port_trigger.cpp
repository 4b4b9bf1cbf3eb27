// Port triggering rules: for every stored trigger policy, the ip4tables lines
// that let the kernel's TRIGGER target open the inbound ports towards a LAN
// host once it has sent to the trigger port.
//
// Per policy, in this order: the out rules from the LAN with their LOG lines,
// the dnat rules and the in rules from the WAN.  Every rule is inserted at
// position 1, so the chains hold them in the reverse of the order written.
#include <cstdio>

#include "arnonat_common.h"
#include "arnonat_forwarding.h"
#include "platform/line_buffer.h"
#include "platform/rule_file.h"
#include "rules/forwarding/port_trigger_policy.h"
#include "zolt_nvram.h"

namespace {

using arnonat::LineBuffer;
using arnonat::LineSpan;
using arnonat::TriggerPolicy;

constexpr char kWho[] = "ARNONAT_GeneratePortTriggerRules";
constexpr char kOpenFailure[] = "Failed to open custom rules file";

// Room for the shell word of any interface name of up to 15 characters,
// even one made only of single quotes.
constexpr size_t kIfWordSize = 64;
using IfWord = LineBuffer<kIfWordSize>;

constexpr size_t kLineSize =
    sizeof "ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1  -i " - 1 + (kIfWordSize - 1) +
    sizeof "  -p tcp -s 255.255.255.255 --dport 65535:65535  -j TRIGGER --trigger-type out "
           " --trigger-proto all --trigger-match 65535-65535 --trigger-relate 65535-65535 \n";
using Line = LineBuffer<kLineSize>;

using PortClause = LineBuffer<sizeof "--dport 65535:65535 ">;
using Dotted = LineBuffer<sizeof "255.255.255.255">;

struct Interfaces {
    const char *lan; // shell words
    const char *wan;
};

bool has_tcp(const TriggerPolicy &r)
{
    return r.bTrigProto == arnonat::kTriggerTcp || r.bTrigProto == arnonat::kTriggerBoth;
}

bool has_udp(const TriggerPolicy &r)
{
    return r.bTrigProto == arnonat::kTriggerUdp || r.bTrigProto == arnonat::kTriggerBoth;
}

// The stored address holds the first octet in its least significant byte.
void host(Dotted &out, const TriggerPolicy &r)
{
    uint32_t a = r.ulHostAddr;
    out.append("%u.%u.%u.%u", a & 0xff, (a >> 8) & 0xff, (a >> 16) & 0xff, a >> 24);
}

// The inbound ports; a range ends in a blank, a single port does not.
void inbound_ports(PortClause &out, const TriggerPolicy &r)
{
    out.append("--dport %d", r.usInStartPort);
    if (r.usInEndPort != 0)
        out.append(":%d ", r.usInEndPort);
}

// "--trigger-match" and "--trigger-relate" take the inbound ports as a range
// with '-', always followed by one blank.
void trigger_ranges(LineSpan &line, const TriggerPolicy &r)
{
    char end[sizeof "-65535 "] = " ";
    if (r.usInEndPort != 0)
        std::snprintf(end, sizeof end, "-%d ", r.usInEndPort);
    line.append("--trigger-match %d%s", r.usInStartPort, end);
    line.append("--trigger-relate %d%s", r.usInStartPort, end);
}

void protocol_clause(LineSpan &line, const TriggerPolicy &r)
{
    switch (r.bInProto) {
    case arnonat::kTriggerBoth:
        line.raw(" --trigger-proto all ");
        break;
    case arnonat::kTriggerTcp:
        line.raw(" --trigger-proto tcp ");
        break;
    case arnonat::kTriggerUdp:
        line.raw(" --trigger-proto udp ");
        break;
    default:
        std::puts("Invalid protocol applied for Port Trigger");
        break;
    }
}

// The TCP out rule matches the trigger port; the UDP one matches the inbound
// ports instead.
void out_rule(arnonat::File &file, const TriggerPolicy &r, const char *lan, bool tcp)
{
    Line line;
    line.raw("ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1 ");
    line.append(" -i %s ", lan);
    line.append(" -p %s ", tcp ? "tcp" : "udp");
    if (r.bHostMode == 2) {
        Dotted h;
        host(h, r);
        line.append("-s %s ", h.c_str());
    }
    if (tcp) {
        line.append("--dport %d", r.usTrigPort);
    } else {
        PortClause p;
        inbound_ports(p, r);
        line.raw(p.c_str());
    }
    line.raw(" -j TRIGGER --trigger-type out ");
    protocol_clause(line, r);
    trigger_ranges(line, r);
    line.raw("\n");
    file.put(line, kWho);

    PortClause p;
    inbound_ports(p, r);
    Line log;
    log.append("ip4tables -t nat -A POSTROUTING -o %s -p %s %s -j LOG --log-prefix REMOTE_ACCESS --log-level 5\n",
               lan, tcp ? "tcp" : "udp", p.c_str());
    file.put(log, kWho);
}

void dnat_rule(arnonat::File &file, const TriggerPolicy &r, const char *wan, const char *protocol)
{
    PortClause p;
    inbound_ports(p, r);
    Line line;
    line.raw("ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1 ");
    line.append(" -i %s ", wan);
    line.append(" -p %s ", protocol);
    line.raw(p.c_str());
    line.raw(" -j TRIGGER --trigger-type dnat \n");
    file.put(line, kWho);
}

void in_rule(arnonat::File &file, const TriggerPolicy &r, const char *wan, const char *protocol)
{
    PortClause p;
    inbound_ports(p, r);
    Line line;
    // Two blanks after the position, then the interface clause's own.
    line.raw("ip4tables -I PORTTRIGGER_FORWARD_IN_CHAIN 1  ");
    line.append(" -i %s ", wan);
    line.append(" -p %s ", protocol);
    if (r.bHostMode == 2) {
        Dotted h;
        host(h, r);
        line.append("-d %s ", h.c_str());
    }
    line.raw(p.c_str());
    line.raw(" -j TRIGGER --trigger-type in \n");
    file.put(line, kWho);
}

void write_policy(arnonat::File &file, const TriggerPolicy &r, const Interfaces &ifs)
{
    // With the inbound side switched off a TCP or TCP+UDP policy gets no out
    // rule at all; a UDP policy keeps its own whatever the switch says.
    bool out_enabled = r.bInEnable != 0 || r.bTrigProto == arnonat::kTriggerUdp;
    if (out_enabled && has_tcp(r))
        out_rule(file, r, ifs.lan, true);
    if (out_enabled && has_udp(r))
        out_rule(file, r, ifs.lan, false);

    if (has_tcp(r))
        dnat_rule(file, r, ifs.wan, "tcp");
    if (has_udp(r))
        dnat_rule(file, r, ifs.wan, "udp");
    if (has_tcp(r))
        in_rule(file, r, ifs.wan, "tcp");
    if (has_udp(r))
        in_rule(file, r, ifs.wan, "udp");
}

void write_policies(arnonat::File &file, const Interfaces &ifs)
{
    int k = 0;
    for (int walked = 0; walked < arnonat::kTriggerPolicyMax; ++walked) {
        if (k < 0 || k >= arnonat::kTriggerPolicyMax || !arnonat::g_triggerPolicy[k].bInUse)
            break;
        write_policy(file, arnonat::g_triggerPolicy[k], ifs);
        k = arnonat::g_triggerPolicy[k].iNext;
    }
}

} // namespace

extern "C" int ARNONAT_GeneratePortTriggerRules(const char *path)
{
    if (!path) {
        std::puts(kOpenFailure);
        return -1;
    }
    arnonat::File file = arnonat::open_rules(path, kOpenFailure);
    if (!file)
        return -1;
    file.put("iptables -F PORTTRIGGER_FORWARD_IN_CHAIN\n");
    file.put("iptables -t nat -F PORTTRIGGER_NAT_CHAIN\n");
    if (!zoltNvramConfig_match("fwpt_enable", "1"))
        return file.finish(0);

    arnonat::read_trigger_policies();

    IfWord lan;
    lan.word(zoltNvramConfig_get("lan_ifname"));
    char wan_name[ARNONAT_WAN_IFNAME_SIZE] = "";
    arnonat_getWanInterface(wan_name);
    IfWord wan;
    wan.word(wan_name);
    // An interface name too long for a rule line leaves the chains flushed
    // rather than half filled.
    if (!lan.ready(kWho) || !wan.ready(kWho))
        return file.finish(0);

    write_policies(file, Interfaces{lan.c_str(), wan.c_str()});
    return file.finish(0);
}

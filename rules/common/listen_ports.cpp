// Listen ports of the router itself: the ACCEPT lines for the engine's list,
// the RIP ports and the remote access port, opened and closed at once.
#include <cstdio>
#include <cstring>

#include "agapi.h"
#include "arnonat_common.h"
#include "natapi/natapi.h"
#include "platform/line_buffer.h"
#include "platform/rule_file.h"
#include "platform/shell_run.h"

using arnonat::LineBuffer;
using arnonat::run_command;

extern "C" const ListenPortMap listenPort_mapping[AGAPI_LISTEN_PORT_MAPPINGS] = {
    {6, "USB_INPUT_CHAIN"},
    {7, "USB_INPUT_CHAIN"},
    {2, "REMOTE_MGMT_WAN_CHAIN"},
    {-1, "INPUT"},
};

namespace {

using Command256 = LineBuffer<256>;

const char *chain_of(int32_t port_index)
{
    const ListenPortMap *m = listenPort_mapping;
    while (m->index != port_index && m->index != -1)
        ++m;
    return m->chain;
}

void write_port_rules(arnonat::File &file, int first, int second)
{
    static const char kWho[] = "ARNONAT_GenerateListenPortRules";
    LineBuffer<32> ports;
    if (first == second)
        ports.append("%d", first);
    else
        ports.append("%d:%d", second, first);
    // The router's lines hold doubled spaces, and each rule is followed by a
    // line of a single space.
    Command256 tcp, udp;
    tcp.append("iptables  -I INPUT   -m multiport  -p tcp  --dport %s  -j ACCEPT\n \n", ports.c_str());
    file.put(tcp, kWho);
    udp.append("iptables  -I INPUT   -m multiport  -p udp  --dport %s  -j ACCEPT\n \n", ports.c_str());
    file.put(udp, kWho);
}

void run_rip_commands(int32_t enable)
{
    static const char *const kOpen[] = {
        "iptables -D INT_INPUT_CHAIN -p udp -m udp --dport 520 -j ACCEPT",
        "iptables -D INT_INPUT_CHAIN -p udp -m udp --dport 2601 -j ACCEPT",
        "iptables -I INT_INPUT_CHAIN -p udp -m udp --dport 520 -j ACCEPT",
        "iptables -I INT_INPUT_CHAIN -p udp -m udp --dport 2601 -j ACCEPT",
        "iptables -D VALID_CHK -p udp -m udp --dport 520 -j ACCEPT",
        "iptables -A VALID_CHK -p udp -m udp --dport 520 -j ACCEPT",
        "iptables -D VALID_CHK -p udp -m udp --dport 2601 -j ACCEPT",
        "iptables -A VALID_CHK -p udp -m udp --dport 2601 -j ACCEPT",
        nullptr,
    };
    static const char *const kClose[] = {
        "iptables -D INT_INPUT_CHAIN -p udp -m udp --dport 520 -j ACCEPT",
        "iptables -D INT_INPUT_CHAIN -p udp -m udp --dport 2601 -j ACCEPT",
        "iptables -D VALID_CHK -p udp -m udp --dport 520 -j ACCEPT",
        "iptables -D VALID_CHK -p udp -m udp --dport 2601 -j ACCEPT",
        nullptr,
    };
    for (const char *const *c = enable == 1 ? kOpen : kClose; *c; ++c)
        run_command(*c);
}

// "iptables -D|-I CHAIN [1] -i WAN -p tcp --dport PORT -m conntrack --ctstate
// NEW,ESTABLISHED -j TARGET"
void run_port_rule(const char *action, const char *chain, const char *wan, int32_t port,
                   const char *target)
{
    Command256 c;
    c.append("iptables %s %s -i ", action, chain).word(wan);
    c.append(" -p tcp --dport %d -m conntrack --ctstate NEW,ESTABLISHED -j %s",
             static_cast<int>(port), target);
    run_command(c, "arnonat_addInputListenPort_2");
}

void run_source_rule(const char *action, const char *address)
{
    Command256 c;
    c.append("iptables %s REMOTE_MGMT_SRC_ACCEPT -s ", action).word(address).raw(" -j ACCEPT");
    run_command(c, "arnonat_addInputListenPort_2");
}

void run_range_rule(const char *action, const char *first, const char *last)
{
    Command256 c;
    c.append("iptables %s REMOTE_MGMT_SRC_ACCEPT -m iprange --src-range ", action)
        .word(first)
        .raw("-")
        .word(last)
        .raw(" -j ACCEPT");
    run_command(c, "arnonat_addInputListenPort_2");
}

const char *or_empty(const char *text)
{
    return text ? text : "";
}

} // namespace

extern "C" {

int ARNONAT_GenerateListenPortRules(const char *path)
{
    static const char kWho[] = "ARNONAT_GenerateListenPortRules";
    arnonat::File file = arnonat::open_rules(path, arnonat::kRulesOpenFailure);
    if (!file)
        return -1;
    // Without the engine's list there is nothing to open.
    arnonat::natapi::ListenPortList list;
    if (!list.read(kWho))
        return file.finish(0);
    list.print();
    for (int i = 0; i < list.entries(); ++i)
        write_port_rules(file, list.first(i), list.second(i));
    return file.finish(1);
}

int agApi_setDeviceListenPort(int32_t port_index, int32_t port_number, int32_t enable)
{
    std::printf("port_idx: %d, port_num: %d, enable: %d\n", static_cast<int>(port_index),
                static_cast<int>(port_number), static_cast<int>(enable));
    return arnonat_addInputListenPort(0, port_index, port_number, enable);
}

int arnonat_addInputListenPort(int engine_result, int32_t port_index, int32_t port_number,
                               int32_t enable)
{
    // The RIP rules are the only listen port rules applied this way; the
    // index and number are not looked at.
    (void)port_index;
    (void)port_number;
    std::printf("ret_val: %d, enable: %d\n", engine_result, static_cast<int>(enable));
    if (enable == 1 && engine_result < 0)
        return 0;
    run_rip_commands(enable);
    return 0;
}

int arnonat_addInputListenPort_2(int engine_result, int32_t port_index, int32_t port_number,
                                 int32_t enable, const char *scope, const char *first_address,
                                 const char *last_address)
{
    std::printf("ret_val: %d, enable: %d\n", engine_result, static_cast<int>(enable));
    if (enable == 1 && engine_result < 0)
        return 0;
    char wan[ARNONAT_WAN_IFNAME_SIZE] = "";
    arnonat_getWanInterface(wan);
    const char *chain = chain_of(port_index);
    const char *first = or_empty(first_address);
    const char *last = or_empty(last_address);

    run_port_rule("-D", chain, wan, port_number, "ACCEPT");
    run_port_rule("-D", chain, wan, port_number, "REMOTE_MGMT_SRC_ACCEPT");
    if (enable != 1) {
        run_source_rule("-D", first);
        run_range_rule("-D", first, last);
        return 0;
    }
    run_command("iptables -F REMOTE_MGMT_SRC_ACCEPT");
    if (scope && std::strcmp(scope, "all") == 0) {
        char at_top[40];
        std::snprintf(at_top, sizeof at_top, "%s 1", chain);
        run_port_rule("-I", at_top, wan, port_number, "ACCEPT");
        return 0;
    }
    run_port_rule("-I", chain, wan, port_number, "REMOTE_MGMT_SRC_ACCEPT");
    if (scope && std::strcmp(scope, "ip_single") == 0)
        run_source_rule("-A", first);
    else
        run_range_rule("-A", first, last);
    return 0;
}

int ARNONAT_GenerateIPRangeRule(char *output, int unused, const char *first_address,
                                const char *last_address)
{
    (void)unused;
    static const char kWho[] = "ARNONAT_GenerateIPRangeRule";
    if (!output)
        return -1;
    output[0] = '\0';
    if (!first_address || !last_address) {
        std::printf("[%s]:address missing, no range written\n", kWho);
        return -1;
    }
    // Sized for two dotted addresses of 15 characters.
    static_assert(ARNONAT_IPRANGE_RULE_SIZE == sizeof("-m iprange --src-range 255.255.255.255-255.255.255.255"));
    LineBuffer<ARNONAT_IPRANGE_RULE_SIZE> range;
    range.raw("-m iprange --src-range ").word(first_address).raw("-").word(last_address);
    if (!range.ready(kWho))
        return -1;
    std::memcpy(output, range.c_str(), range.size() + 1);
    return 0;
}

} // extern "C"

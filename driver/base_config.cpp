// Blocks of the base configuration file /tmp/extra_arno_config: shell
// assignments read by the arno-iptables-firewall script.
#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "arnonat.h"
#include "platform/shell_word.h"
#include "zolt_nvram.h"

extern "C" int ARNONAT_GenerateNatConfig(FILE *stream)
{
    if (zoltNvramConfig_match("router_mode", "0")) {
        std::fputs("NAT=0\n", stream);
        return 0;
    }
    // Each value opens with a backslash-newline so that the closing quote
    // stands on a line of its own after the DMZ port text.
    std::fputs("DMZ_TCP=\"\\\n", stream);
    if (zoltNvramConfig_match("fw_dmz_enab", "1"))
        ARNONAT_ConfigureDmzPorts(stream, ARNONAT_PROTO_TCP);
    std::fputs("\"\n", stream);
    std::fputs("DMZ_UDP=\"\\\n", stream);
    if (zoltNvramConfig_match("fw_dmz_enab", "1"))
        ARNONAT_ConfigureDmzPorts(stream, ARNONAT_PROTO_UDP);
    std::fputs("\"\n", stream);
    return 0;
}

namespace {

// Prefix length counted from the lowest set bit of the mask: a mask with
// holes counts as if it had none above that bit.
int prefix_length(uint32_t mask)
{
    if (mask == 0)
        return 0;
    int lowest = 0;
    while (!(mask & (1u << lowest)))
        ++lowest;
    return 32 - lowest;
}

} // namespace

extern "C" int ARNONAT_GenerateLanConfig(FILE *stream)
{
    const char *ifname = zoltNvramConfig_get("lan_ifname");
    // The firewall script splits INT_IF and IF_TRUSTS at blanks.
    if (std::strpbrk(ifname, " \t\n"))
        std::printf("LAN block: lan_ifname '%s' holds blanks; the firewall reads it as several interfaces\n", ifname);
    // inet_addr semantics: an unparsable text gives all ones.
    uint32_t address = inet_addr(zoltNvramConfig_get("lan_ipaddr"));
    uint32_t mask = inet_addr(zoltNvramConfig_get("lan_netmask"));

    in_addr network{};
    network.s_addr = address & mask;
    char dotted[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &network, dotted, sizeof dotted);
    char net[128];
    std::snprintf(net, sizeof net, "%s/%d ", dotted, prefix_length(ntohl(mask)));

    std::fputs("INT_IF=\"", stream);
    arnonat::put_quoted_text(ifname, stream);
    std::fputs("\"\n", stream);
    std::fputs("INTERNAL_NET=\"", stream);
    std::fputs(net, stream);
    std::fputs("\"\n", stream);
    std::fputs("NAT_INTERNAL_NET=\"", stream);
    std::fputs(net, stream);
    std::fputs("\"\n", stream);
    std::fputs("IF_TRUSTS=\"", stream);
    arnonat::put_quoted_text(ifname, stream);
    std::fputs("\"\n", stream);
    return 0;
}

extern "C" int ARNONAT_GenerateFirewallConfig(FILE *stream)
{
    std::fputs("LAN_INET_OPEN_ICMP=", stream);
    std::fputs("1\n", stream);
    std::fputs("OPEN_ICMP=", stream);
    std::fputs("1\n", stream);
    return 0;
}

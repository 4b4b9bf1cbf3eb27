// Protocols the router itself takes part in: IGMP multicast from the WAN,
// the UPnP chains, RIP and RIPng.
#include <cstdio>

#include "arnonat_protection.h"
#include "platform/shell_run.h"
#include "rules/protection/rule_text.h"

using arnonat::File;
using arnonat::put_line;
using arnonat::protection::WanWord;

extern "C" int ARNONAT_GenerateIGMPMulticastRules(const char *path)
{
    // With IGMP off the file is not even opened.
    if (arnonat::atoi_clamped(zoltNvramConfig_get("ru_igmp_enable")) == 0)
        return 0;
    File file = arnonat::open_rules(path, arnonat::kRulesOpenFailure);
    if (!file)
        return -1;
    WanWord wan;
    put_line(file, __func__, "iptables -I EXT_MULTICAST_CHAIN 1 -d 224.0.0.0/4 -i %s -j ACCEPT\n", wan.c_str());
    put_line(file, __func__, "iptables -I EXT_FORWARD_IN_CHAIN 1 -d 224.0.0.0/4 -i %s -j ACCEPT\n", wan.c_str());
    return file.finish(0);
}

extern "C" int ARNONAT_GenerateUPNPDRules(const char *path)
{
    File file = arnonat::open_rules(path, arnonat::kRulesOpenFailure);
    if (!file)
        return -1;
    // The UPnP daemon fills both chains itself; the router only creates and
    // hooks them.
    WanWord wan;
    std::puts("Adding UPNPD_NAT_CHAIN rules to custom rules");
    file.put("iptables -t nat -N UPNP_NAT_CHAIN\n");
    put_line(file, __func__, "iptables -t nat -A PREROUTING -i %s -j UPNP_NAT_CHAIN\n", wan.c_str());
    std::puts("Adding UPNPD_FILTER_CHAIN rules to custom rules");
    file.put("iptables -N UPNP_FORWARD_CHAIN\n");
    file.put("iptables -A EXT_FORWARD_IN_CHAIN -j UPNP_FORWARD_CHAIN\n");
    return file.finish(0);
}

extern "C" int ARNONAT_GenerateRIPRules(const char *path)
{
    File file = arnonat::open_rules(path, arnonat::kRulesOpenFailure);
    if (!file)
        return -1;
    std::puts("Adding EXT_FORWARD_OUT_CHAIN rules to custom rules");
    // RIP itself and UDP 2601, the routing daemon's port; the same pair that
    // the listen port commands open and close at run time.
    file.put("iptables -I INT_INPUT_CHAIN -p udp -m udp --dport 520 -j ACCEPT\n");
    file.put("iptables -I INT_INPUT_CHAIN -p udp -m udp --dport 2601 -j ACCEPT\n");
    file.put("iptables -A VALID_CHK -p udp -m udp --dport 520 -j ACCEPT\n");
    file.put("iptables -A VALID_CHK -p udp -m udp --dport 2601 -j ACCEPT\n");
    return file.finish(0);
}

extern "C" int ARNONAT_PocessRIPngRules(int32_t flag)
{
    arnonat::run_command(flag != 0 ? "ip6tables -A VALID_CHK -p udp -m udp --dport 521 -j ACCEPT"
                                   : "ip6tables -D VALID_CHK -p udp -m udp --dport 521 -j ACCEPT");
    return 0;
}

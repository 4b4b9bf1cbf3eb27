// VPN passthrough: whether L2TP, PPTP with its GRE data and IPsec from the
// LAN may pass through the router.  VPN_CHAIN, hooked at the head of
// FORWARD, is refilled on every configuration run with one ACCEPT or DROP
// line per protocol.
#include <cstdio>

#include "arnonat_protection.h"
#include "platform/rule_file.h"
#include "zolt_nvram.h"

namespace {

enum Switch { kL2tp, kPptp, kIpsec, kSwitches };

// "0" switches a passthrough off; any other value, or none, leaves it on.
constexpr const char *kSwitchSettings[kSwitches] = {"l2tp_passthrough", "pptp_passthrough", "ipsec_passthrough"};

struct ProtocolLine {
    Switch governed_by;
    const char *accept;
    const char *accepted;
    const char *drop;
    const char *dropped;
};

// The six protocol lines in chain order.  The doubled blanks are the
// router's own line layout.
constexpr ProtocolLine kProtocolLines[] = {
    {kL2tp, "iptables  -A  VPN_CHAIN   -p udp --dport 1701  -j ACCEPT\n", "Enabling L2TP control connection passthrough",
     "iptables  -A  VPN_CHAIN   -p udp --dport 1701  -j DROP\n", "Disabling L2TP control connection passthrough"},
    {kPptp, "iptables  -A  VPN_CHAIN   -p tcp --dport 1723  -j ACCEPT\n", "Enabling PPTP control connection passthrough",
     "iptables  -A  VPN_CHAIN   -p tcp --dport 1723  -j DROP\n", "Disabling PPTP control connection passthrough"},
    {kPptp, "iptables  -A  VPN_CHAIN   -p 47 -j ACCEPT\n", "Enabling GRE protocol passthrough",
     "iptables  -A  VPN_CHAIN   -p 47 -j DROP\n", "Disabling GRE protocol passthrough"},
    {kIpsec, "iptables  -A  VPN_CHAIN   -p udp --dport 500 --sport 500  -j ACCEPT\n",
     "Enabling ISAKMP protocol passthrough", "iptables  -A  VPN_CHAIN   -p udp --dport 500 --sport 500  -j DROP\n",
     "Disabling ISAKMP protocol passthrough"},
    {kIpsec, "iptables  -A  VPN_CHAIN   -p 50  -j ACCEPT\n", "Enabling ESP protocol passthrough",
     "iptables  -A  VPN_CHAIN   -p 50  -j DROP\n", "Disabling ESP protocol passthrough"},
    {kIpsec, "iptables  -A  VPN_CHAIN   -p 51  -j ACCEPT\n", "Enabling AH protocol passthrough",
     "iptables  -A  VPN_CHAIN   -p 51  -j DROP\n", "Disabling AH protocol passthrough"},
};
static_assert(sizeof kProtocolLines / sizeof kProtocolLines[0] == 6, "L2TP, PPTP, GRE, ISAKMP, ESP, AH");

} // namespace

extern "C" int ARNONAT_GenerateVPNRules(const char *path)
{
    arnonat::File file = arnonat::open_rules(path, arnonat::kRulesOpenFailure);
    if (!file)
        return -1;

    bool on[kSwitches];
    for (int s = 0; s < kSwitches; ++s)
        on[s] = !zoltNvramConfig_match(kSwitchSettings[s], "0");

    file.put("iptables -t filter -N VPN_CHAIN\n");
    file.put("iptables -F VPN_CHAIN\n");
    file.put("iptables -I FORWARD 1 -j VPN_CHAIN\n");
    for (const ProtocolLine &p : kProtocolLines) {
        bool accept = on[p.governed_by];
        file.put(accept ? p.accept : p.drop);
        std::puts(accept ? p.accepted : p.dropped);
    }
    return file.finish(0);
}

// IGMP multicast from the WAN, the UPnP chains, RIP and RIPng.
#include <string>
#include <vector>

#include "arnonat.h"
#include "support/sandbox.h"

namespace {

const std::string kFailure = "Failed to open custom rules configuration file\n";

class MulticastRoutingUpnp : public sandbox::Test {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        sandbox::set("wan_ifname", "eth0");
        sandbox::set("wan_proto", "l2tp");
    }
};

TEST_F(MulticastRoutingUpnp, IgmpLinesOnlyWhenSwitchedOnAndNoFileOtherwise)
{
    for (const char *off : {"", "0", "off"}) {
        sandbox::set("ru_igmp_enable", off);
        EXPECT_EQ(ARNONAT_GenerateIGMPMulticastRules("/tmp/no/such/folder"), 0) << off;
        EXPECT_FALSE(sandbox::exists("/tmp/no")) << off;
    }
    sandbox::set("ru_igmp_enable", "1");
    EXPECT_EQ(ARNONAT_GenerateIGMPMulticastRules("/tmp/rules"), 0);
    EXPECT_EQ(sandbox::read_file("/tmp/rules"), "iptables -I EXT_MULTICAST_CHAIN 1 -d 224.0.0.0/4 -i ppp0 -j ACCEPT\n"
                                                "iptables -I EXT_FORWARD_IN_CHAIN 1 -d 224.0.0.0/4 -i ppp0 -j ACCEPT\n");
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateIGMPMulticastRules("/tmp/no/such/folder"), -1);
    EXPECT_EQ(out.finish(), kFailure);
}

TEST_F(MulticastRoutingUpnp, UpnpChainsAreCreatedAndHookedEveryRun)
{
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateUPNPDRules("/tmp/rules"), 0);
    EXPECT_EQ(ARNONAT_GenerateUPNPDRules("/tmp/no/such/folder"), -1);
    EXPECT_EQ(out.finish(), "Adding UPNPD_NAT_CHAIN rules to custom rules\n"
                            "Adding UPNPD_FILTER_CHAIN rules to custom rules\n" + kFailure);
    EXPECT_EQ(sandbox::read_file("/tmp/rules"), "iptables -t nat -N UPNP_NAT_CHAIN\n"
                                                "iptables -t nat -A PREROUTING -i ppp0 -j UPNP_NAT_CHAIN\n"
                                                "iptables -N UPNP_FORWARD_CHAIN\n"
                                                "iptables -A EXT_FORWARD_IN_CHAIN -j UPNP_FORWARD_CHAIN\n");
}

TEST_F(MulticastRoutingUpnp, RipLinesWhateverRipEnableHolds)
{
    sandbox::set("rip_enable", "0");
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateRIPRules("/tmp/rules"), 0);
    EXPECT_EQ(ARNONAT_GenerateRIPRules("/tmp/no/such/folder"), -1);
    EXPECT_EQ(out.finish(), "Adding EXT_FORWARD_OUT_CHAIN rules to custom rules\n" + kFailure);
    EXPECT_EQ(sandbox::read_file("/tmp/rules"), "iptables -I INT_INPUT_CHAIN -p udp -m udp --dport 520 -j ACCEPT\n"
                                                "iptables -I INT_INPUT_CHAIN -p udp -m udp --dport 2601 -j ACCEPT\n"
                                                "iptables -A VALID_CHK -p udp -m udp --dport 520 -j ACCEPT\n"
                                                "iptables -A VALID_CHK -p udp -m udp --dport 2601 -j ACCEPT\n");
}

TEST_F(MulticastRoutingUpnp, RipngOpensOrClosesAtOnce)
{
    EXPECT_EQ(ARNONAT_PocessRIPngRules(0), 0);
    EXPECT_EQ(ARNONAT_PocessRIPngRules(-7), 0);
    EXPECT_EQ(sandbox::calls(), (std::vector<std::string>{"ip6tables -D VALID_CHK -p udp -m udp --dport 521 -j ACCEPT",
                                                          "ip6tables -A VALID_CHK -p udp -m udp --dport 521 -j ACCEPT"}));
}

} // namespace

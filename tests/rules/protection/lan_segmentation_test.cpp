// LAN segmentation: WAN and VLAN bridge lines, guest isolation and the DNS
// redirection of the DHCP range, with the length limits of their settings.
#include <unistd.h>

#include <string>
#include <vector>

#include "arnonat.h"
#include "support/sandbox.h"

namespace {

const std::string kWanBridge =
    "iptables -A BRIDGE_WAN_ACCEPT -o br-wan -p udp -m udp --dport 67:68 -j ACCEPT\n"
    "iptables -A BRIDGE_WAN_ACCEPT  -o br-wan -m pkttype --pkt-type multicast -j ACCEPT\n";

std::string bridge(const std::string &b)
{
    return "iptables -I FORWARD -i " + b + " -o " + b + " -p udp -m udp --dport 67:68 -j ACCEPT\n" +
           "iptables -I FORWARD -i " + b + " -o " + b + " -m pkttype --pkt-type multicast -j ACCEPT\n" +
           "iptables -I INPUT -i " + b + " -p igmp -j ACCEPT\n" + "iptables -I OUTPUT -o " + b + " -p igmp -j ACCEPT\n";
}

struct Output {
    std::string file;
    std::string out;
};

Output generate(int (*generator)(const char *))
{
    ::unlink("/tmp/rules");
    sandbox::StdoutCapture capture;
    EXPECT_EQ(generator("/tmp/rules"), 0);
    std::string out = capture.finish();
    return {sandbox::read_file("/tmp/rules"), out};
}

class LanSegmentation : public sandbox::Test {};

TEST_F(LanSegmentation, VlanBridgesFollowTheEntryList)
{
    struct Case {
        const char *names, *ids;
        std::string file, out;
    };
    const Case cases[] = {
        {"video voice", "10 20", bridge("br-10") + bridge("br-20"), ""},
        {"  video   voice ", " 10  20  30", bridge("br-10") + bridge("br-20"), ""},
        {"a b c d e f g h i j k", "1 2 3 4 5 6 7 8 9 10 11",
         bridge("br-1") + bridge("br-2") + bridge("br-3") + bridge("br-4") + bridge("br-5") + bridge("br-6") +
             bridge("br-7") + bridge("br-8") + bridge("br-9") + bridge("br-10"),
         ""},
        {"", "10", "", ""},
        // An entry without an ID still gets the lines of bridge "br-".
        {"video voice data", "12345 123456",
         bridge("br-12345") + bridge("br-"),
         "VLAN rules: VLAN ID of VLAN entry 2 longer than 5 characters, no bridge lines written\n"},
    };
    sandbox::set("enable_vlan", "enable");
    for (const Case &c : cases) {
        sandbox::set("vlan_name", c.names);
        sandbox::set("vlan_id", c.ids);
        Output o = generate(ARNONAT_GenerateVlanRules);
        EXPECT_EQ(o.file, kWanBridge + c.file) << c.names;
        EXPECT_EQ(o.out, c.out) << c.names;
    }
    sandbox::set("enable_vlan", "1");
    EXPECT_EQ(generate(ARNONAT_GenerateVlanRules).file, kWanBridge);
}

TEST_F(LanSegmentation, IptvBridgeNeedsBothSwitchesAndAShortId)
{
    sandbox::set("iptv_enabled", "1");
    sandbox::set("vlan_id_enable", "1");
    Output empty = generate(ARNONAT_GenerateVlanRules);
    EXPECT_EQ(empty.file + empty.out, kWanBridge + bridge("br-"));

    sandbox::set("iptv_vlan_id", "1234567");
    sandbox::set("vlan_id_enable", "0");
    EXPECT_EQ(generate(ARNONAT_GenerateVlanRules).file, kWanBridge);
    sandbox::set("vlan_id_enable", "1");
    EXPECT_EQ(generate(ARNONAT_GenerateVlanRules).file, kWanBridge + bridge("br-1234567"));

    sandbox::set("iptv_vlan_id", "12345678");
    Output o = generate(ARNONAT_GenerateVlanRules);
    EXPECT_EQ(o.file, kWanBridge);
    EXPECT_EQ(o.out, "VLAN rules: VLAN ID of the IPTV VLAN longer than 7 characters, no bridge lines written\n");
}

TEST_F(LanSegmentation, GuestIsolationAndItsAddress)
{
    const std::string kReject = "iptables -I FORWARD -i br-guest -o br-lan -j REJECT\n"
                                "iptables -I FORWARD -i br-lan -o br-guest -j REJECT\n";
    auto icmp = [](const std::string &a) { return "iptables -I INPUT -i br-lan -d " + a + "/32 -p icmp -j REJECT\n"; };

    EXPECT_EQ(generate(ARNONAT_GenerateGuestISORules).file, kReject + icmp("192.168.2.1"));
    sandbox::set("lan_ipaddr2", "0.0.0.0");
    EXPECT_EQ(generate(ARNONAT_GenerateGuestISORules).file, kReject + icmp("192.168.2.1"));
    sandbox::set("lan_ipaddr2", "10.9.8.7");
    sandbox::set("enable_ap_mode", "1");
    EXPECT_EQ(generate(ARNONAT_GenerateGuestISORules).file, icmp("10.9.8.7"));

    sandbox::set("lan_ipaddr2", std::string(31, '1'));
    EXPECT_EQ(generate(ARNONAT_GenerateGuestISORules).file, icmp(std::string(31, '1')));
    sandbox::set("lan_ipaddr2", std::string(32, '1'));
    Output o = generate(ARNONAT_GenerateGuestISORules);
    EXPECT_EQ(o.file, "");
    EXPECT_EQ(o.out, "guest isolation: lan_ipaddr2 longer than 31 characters, refused\n"
                     "guest isolation: no ICMP line written\n");
}

TEST_F(LanSegmentation, DnsRedirectionDeletesFirstAndRefusesLongValues)
{
    const std::string kMatch = " -i br0 -p udp  -m iprange --src-range 192.168.1.2-192.168.1.254 --dport 53 -j REDIRECT --to-port 53\n";
    sandbox::set("lan_ifname", "br0");
    sandbox::set("dhcp_start", "192.168.1.2");
    sandbox::set("dhcp_end", "192.168.1.254");
    EXPECT_EQ(generate(ARNONAT_GenerateOpenDNSRules).file, "iptables -t nat -D PREROUTING" + kMatch);
    sandbox::set("ParentalControl", "1");
    EXPECT_EQ(generate(ARNONAT_GenerateOpenDNSRules).file,
              "iptables -t nat -D PREROUTING" + kMatch + "iptables -t nat -I PREROUTING 1" + kMatch);

    sandbox::set("dhcp_end", std::string(20, '9'));
    sandbox::set("lan_ifname", std::string(16, 'b'));
    Output o = generate(ARNONAT_GenerateOpenDNSRules);
    EXPECT_EQ(o.file, "");
    EXPECT_EQ(o.out, "DNS redirection: dhcp_end longer than 19 characters, refused\n"
                     "DNS redirection: lan_ifname longer than 15 characters, refused\n"
                     "DNS redirection: no lines written\n");
}

TEST_F(LanSegmentation, UnopenableFileIsSilent)
{
    sandbox::StdoutCapture out;
    for (auto generator : {ARNONAT_GenerateVlanRules, ARNONAT_GenerateGuestISORules, ARNONAT_GenerateOpenDNSRules})
        EXPECT_EQ(generator("/tmp/no/such/folder"), -1);
    EXPECT_EQ(out.finish(), "");
}

TEST_F(LanSegmentation, ShellSyntaxInSettingsRunsNothing)
{
    sandbox::set("enable_vlan", "enable");
    sandbox::set("vlan_name", "a");
    sandbox::set("vlan_id", "1;X");
    sandbox::set("iptv_enabled", "1");
    sandbox::set("vlan_id_enable", "1");
    sandbox::set("iptv_vlan_id", "$(X)");
    sandbox::set("lan_ipaddr2", "1.2.3.4`X`");
    sandbox::set("lan_ifname", "br0 X");
    sandbox::set("dhcp_start", "1'2");
    sandbox::set("dhcp_end", "|X");
    ::unlink("/tmp/rules");
    for (auto generator : {ARNONAT_GenerateVlanRules, ARNONAT_GenerateGuestISORules, ARNONAT_GenerateOpenDNSRules})
        EXPECT_EQ(generator("/tmp/rules"), 0);
    // X is no program: had any of these texts been taken as shell syntax,
    // sh would have complained on standard error.
    sandbox::Result r = sandbox::run("sh /tmp/rules");
    EXPECT_EQ(r.err, "");
    std::vector<std::string> calls = sandbox::calls();
    ASSERT_EQ(calls.size(), 2u + 4u + 4u + 3u + 1u);
    EXPECT_EQ(calls[2], "iptables -I FORWARD -i br-1;X -o br-1;X -p udp -m udp --dport 67:68 -j ACCEPT");
    EXPECT_EQ(calls[9], "iptables -I OUTPUT -o br-$(X) -p igmp -j ACCEPT");
    EXPECT_EQ(calls[12], "iptables -I INPUT -i br-lan -d 1.2.3.4`X`/32 -p icmp -j REJECT");
    EXPECT_EQ(calls[13], "iptables -t nat -D PREROUTING -i 'br0 X' -p udp -m iprange --src-range 1'2-|X --dport 53 -j REDIRECT --to-port 53");
}

} // namespace

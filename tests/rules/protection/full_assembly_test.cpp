// A restart through the command line with every protection and
// segmentation feature on (site and service blocking off): the custom rules
// file compared whole.
#include <string>
#include <vector>

#include "support/sandbox.h"

namespace {

class ProtectionAssembly : public sandbox::Test {};

TEST_F(ProtectionAssembly, RestartWritesEveryFeatureInAssemblyOrder)
{
    const std::pair<const char *, const char *> settings[] = {
        {"wan_proto", "dhcp"},          {"wan_ifname", "eth0"},         {"enable_vlan", "enable"},
        {"vlan_name", "video voice"},   {"vlan_id", "10 20"},           {"iptv_enabled", "1"},
        {"vlan_id_enable", "1"},        {"iptv_vlan_id", "300"},        {"lan_ipaddr2", "192.168.5.1"},
        {"pptp_passthrough", "0"},      {"usb_wan_ftp_enable", "1"},    {"usb_wan_ftp_port", "21"},
        {"usb_wan_http_enable", "1"},   {"usb_wan_http_port", "8443"},  {"ru_igmp_enable", "1"},
        {"fw_spi_enab", "1"},           {"http_rmenable", "1"},         {"http_rmport", "8080"},
        {"rip_enable", "1"},
    };
    for (const auto &[key, value] : settings)
        sandbox::set(key, value);

    sandbox::Result r = sandbox::arnonat("restart");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(sandbox::calls(), (std::vector<std::string>{"/sbin/main_run_custom_services",
                                                          "/usr/sbin/carno-iptables-firewall.sh restart"}));
    EXPECT_EQ(sandbox::read_file("/tmp/custom_iptables_rules"),
              sandbox::kStockRules +
              "iptables -A BRIDGE_WAN_ACCEPT -o br-wan -p udp -m udp --dport 67:68 -j ACCEPT\n"
              "iptables -A BRIDGE_WAN_ACCEPT  -o br-wan -m pkttype --pkt-type multicast -j ACCEPT\n"
              "iptables -I FORWARD -i br-10 -o br-10 -p udp -m udp --dport 67:68 -j ACCEPT\n"
              "iptables -I FORWARD -i br-10 -o br-10 -m pkttype --pkt-type multicast -j ACCEPT\n"
              "iptables -I INPUT -i br-10 -p igmp -j ACCEPT\n"
              "iptables -I OUTPUT -o br-10 -p igmp -j ACCEPT\n"
              "iptables -I FORWARD -i br-20 -o br-20 -p udp -m udp --dport 67:68 -j ACCEPT\n"
              "iptables -I FORWARD -i br-20 -o br-20 -m pkttype --pkt-type multicast -j ACCEPT\n"
              "iptables -I INPUT -i br-20 -p igmp -j ACCEPT\n"
              "iptables -I OUTPUT -o br-20 -p igmp -j ACCEPT\n"
              "iptables -I FORWARD -i br-300 -o br-300 -p udp -m udp --dport 67:68 -j ACCEPT\n"
              "iptables -I FORWARD -i br-300 -o br-300 -m pkttype --pkt-type multicast -j ACCEPT\n"
              "iptables -I INPUT -i br-300 -p igmp -j ACCEPT\n"
              "iptables -I OUTPUT -o br-300 -p igmp -j ACCEPT\n"
              "iptables -I FORWARD -i br-guest -o br-lan -j REJECT\n"
              "iptables -I FORWARD -i br-lan -o br-guest -j REJECT\n"
              "iptables -I INPUT -i br-lan -d 192.168.5.1/32 -p icmp -j REJECT\n"
              "iptables -t filter -N VPN_CHAIN\n"
              "iptables -F VPN_CHAIN\n"
              "iptables -I FORWARD 1 -j VPN_CHAIN\n"
              "iptables  -A  VPN_CHAIN   -p udp --dport 1701  -j ACCEPT\n"
              "iptables  -A  VPN_CHAIN   -p tcp --dport 1723  -j DROP\n"
              "iptables  -A  VPN_CHAIN   -p 47 -j DROP\n"
              "iptables  -A  VPN_CHAIN   -p udp --dport 500 --sport 500  -j ACCEPT\n"
              "iptables  -A  VPN_CHAIN   -p 50  -j ACCEPT\n"
              "iptables  -A  VPN_CHAIN   -p 51  -j ACCEPT\n"
              "iptables -F USB_FORWARD_IN_CHAIN\n"
              "iptables -t nat -F USB_NAT_CHAIN\n"
              "iptables -F USB_INPUT_CHAIN \n"
              "iptables -I USB_INPUT_CHAIN 1 -i eth0 -p tcp --dport 21 -m conntrack --ctstate NEW,ESTABLISHED -j LOG --log-prefix USB_REMOTE_FTP --log-level 5\n"
              "iptables -I USB_INPUT_CHAIN 1 -i eth0 -p tcp --dport 21 -m conntrack --ctstate NEW,ESTABLISHED -j ACCEPT\n"
              "iptables -I USB_INPUT_CHAIN 1 -i eth0 -p tcp --dport 8443 -m conntrack --ctstate NEW,ESTABLISHED -j LOG --log-prefix USB_REMOTE_HTTPS --log-level 5\n"
              "iptables -I USB_INPUT_CHAIN 1 -i eth0 -p tcp --dport 8443 -m conntrack --ctstate NEW,ESTABLISHED -j ACCEPT\n"
              // Block sites and block services are off: they only flush their chains.
              "iptables -F BLOCKSITE\n"
              "iptables -F BLOCKSITE_IN_CHAIN\n"
              "iptables -F BLOCK_SERVICE_CHAIN\n"
              "iptables -I EXT_MULTICAST_CHAIN 1 -d 224.0.0.0/4 -i eth0 -j ACCEPT\n"
              "iptables -I EXT_FORWARD_IN_CHAIN 1 -d 224.0.0.0/4 -i eth0 -j ACCEPT\n"
              "iptables -A EXT_FORWARD_IN_CHAIN -i eth0 ! -o eth0 -s 0/0 -p udp --dport 1:65535 -m length --length 0:28  -m limit --limit 6/hour --limit-burst 1 -j LOG --log-prefix DOS_ATTACK:DoSPortScan --log-level 5 \n"
              "iptables -A EXT_FORWARD_IN_CHAIN -i eth0 ! -o eth0 -s 0/0 -p udp --dport 1:65535 -m length --length 0:28 -j DROP\n"
              "iptables -t nat -N UPNP_NAT_CHAIN\n"
              "iptables -t nat -A PREROUTING -i eth0 -j UPNP_NAT_CHAIN\n"
              "iptables -N UPNP_FORWARD_CHAIN\n"
              "iptables -A EXT_FORWARD_IN_CHAIN -j UPNP_FORWARD_CHAIN\n"
              "iptables -I INT_INPUT_CHAIN -p udp -m udp --dport 520 -j ACCEPT\n"
              "iptables -I INT_INPUT_CHAIN -p udp -m udp --dport 2601 -j ACCEPT\n"
              "iptables -A VALID_CHK -p udp -m udp --dport 520 -j ACCEPT\n"
              "iptables -A VALID_CHK -p udp -m udp --dport 2601 -j ACCEPT\n");
}

TEST_F(ProtectionAssembly, RulesThatCannotBePutInPlaceFailTheRunAndRunNothing)
{
    // A folder that cannot be replaced stands in place of the custom rules
    // file.
    sandbox::set("ru_igmp_enable", "1");
    sandbox::set("rip_enable", "1");
    sandbox::run("mkdir -p /tmp/custom_iptables_rules/kept");
    sandbox::Result r = sandbox::arnonat("start");
    EXPECT_EQ(r.status, 255);
    const std::string failure = "[ARNONAT_GenerateCustomRules]:cannot write /tmp/custom_iptables_rules: Is a "
                                "directory; the previous file stays in place\nARNONAT_GenerateCustomRules failed\n";
    ASSERT_GE(r.out.size(), failure.size());
    EXPECT_EQ(r.out.substr(r.out.size() - failure.size()), failure);
    EXPECT_EQ(sandbox::calls(), std::vector<std::string>{});
    EXPECT_EQ(sandbox::run("ls -A /tmp").out, "arnonat.lock\ncustom_iptables_rules\nextra_arno_config\n");
}

} // namespace

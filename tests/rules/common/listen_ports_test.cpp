// Listen port rules: the ACCEPT lines of the engine's list, and the firewall
// commands that open and close the RIP and remote access ports at once.
#include <cstring>
#include <string>
#include <vector>

#include "arnonat.h"
#include "natapi/engine_test.h"

namespace {

using natapi_test::EngineTest;
using Lines = std::vector<std::string>;

const char kRules[] = "/tmp/listen_rules";

class ListenPorts : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        sandbox::set("wan_proto", "dhcp");
        sandbox::set("wan_ifname", "eth1");
    }
};

TEST_F(ListenPorts, RulesOpenEveryListedPortForTcpAndUdp)
{
    const uint16_t first[] = {80, 443}, second[] = {80, 80};
    natsim_set_listen_ports(first, second, 2);
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateListenPortRules(kRules), 1);
    EXPECT_EQ(out.finish(), "\n--- listen port list ---\n80-80, 443-80, \n");
    EXPECT_EQ(sandbox::read_file(kRules),
              "iptables  -I INPUT   -m multiport  -p tcp  --dport 80  -j ACCEPT\n \n"
              "iptables  -I INPUT   -m multiport  -p udp  --dport 80  -j ACCEPT\n \n"
              "iptables  -I INPUT   -m multiport  -p tcp  --dport 80:443  -j ACCEPT\n \n"
              "iptables  -I INPUT   -m multiport  -p udp  --dport 80:443  -j ACCEPT\n \n");
}

TEST_F(ListenPorts, RulesWithoutAListWriteNothing)
{
    EXPECT_EQ(ARNONAT_GenerateListenPortRules(kRules), 1); // empty list
    EXPECT_EQ(sandbox::read_file(kRules), "");

    natsim_force_result(0x80046424, -5);
    EXPECT_EQ(ARNONAT_GenerateListenPortRules(kRules), 0);
    natsim_set_device(AGAPI_NAT_DEVICE, 0);
    EXPECT_EQ(ARNONAT_GenerateListenPortRules(kRules), 0);
    EXPECT_EQ(sandbox::read_file(kRules), "");

    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateListenPortRules("/tmp/no/such/folder"), -1);
    EXPECT_EQ(out.finish(), "Failed to open custom rules configuration file\n");
}

TEST_F(ListenPorts, RipPortsOpenAndCloseWhateverThePort)
{
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_setDeviceListenPort(3, 99, 1), 0);
    EXPECT_EQ(out.finish(), "port_idx: 3, port_num: 99, enable: 1\nret_val: 0, enable: 1\n");
    EXPECT_EQ(sandbox::calls(), (Lines{
        "iptables -D INT_INPUT_CHAIN -p udp -m udp --dport 520 -j ACCEPT",
        "iptables -D INT_INPUT_CHAIN -p udp -m udp --dport 2601 -j ACCEPT",
        "iptables -I INT_INPUT_CHAIN -p udp -m udp --dport 520 -j ACCEPT",
        "iptables -I INT_INPUT_CHAIN -p udp -m udp --dport 2601 -j ACCEPT",
        "iptables -D VALID_CHK -p udp -m udp --dport 520 -j ACCEPT",
        "iptables -A VALID_CHK -p udp -m udp --dport 520 -j ACCEPT",
        "iptables -D VALID_CHK -p udp -m udp --dport 2601 -j ACCEPT",
        "iptables -A VALID_CHK -p udp -m udp --dport 2601 -j ACCEPT",
    }));
    const Lines closing = {
        "iptables -D INT_INPUT_CHAIN -p udp -m udp --dport 520 -j ACCEPT",
        "iptables -D INT_INPUT_CHAIN -p udp -m udp --dport 2601 -j ACCEPT",
        "iptables -D VALID_CHK -p udp -m udp --dport 520 -j ACCEPT",
        "iptables -D VALID_CHK -p udp -m udp --dport 2601 -j ACCEPT",
    };
    for (int enable : {0, 2, -1}) {
        sandbox::clear_calls();
        agApi_setDeviceListenPort(3, 99, enable);
        EXPECT_EQ(sandbox::calls(), closing) << enable;
    }
    // A refusing engine keeps a port from opening, never from closing.
    sandbox::clear_calls();
    arnonat_addInputListenPort(-1, 0, 0, 1);
    EXPECT_TRUE(sandbox::calls().empty());
    arnonat_addInputListenPort(-1, 0, 0, 0);
    EXPECT_EQ(sandbox::calls(), closing);
    EXPECT_EQ(natsim_log_size(), 0u); // the engine is not asked
}

std::string jump(const std::string &action, const std::string &chain, const std::string &target)
{
    return "iptables " + action + " " + chain +
           " -i eth1 -p tcp --dport 8080 -m conntrack --ctstate NEW,ESTABLISHED -j " + target;
}

TEST_F(ListenPorts, RemoteAccessByScope)
{
    const std::string chain = "REMOTE_MGMT_WAN_CHAIN";
    const Lines first_two = {jump("-D", chain, "ACCEPT"), jump("-D", chain, "REMOTE_MGMT_SRC_ACCEPT")};
    struct Case {
        int32_t enable;
        const char *scope;
        Lines then;
    };
    const Case cases[] = {
        {1, "all", {"iptables -F REMOTE_MGMT_SRC_ACCEPT", jump("-I", chain + " 1", "ACCEPT")}},
        {1, "ip_single",
         {"iptables -F REMOTE_MGMT_SRC_ACCEPT", jump("-I", chain, "REMOTE_MGMT_SRC_ACCEPT"),
          "iptables -A REMOTE_MGMT_SRC_ACCEPT -s 10.0.0.5 -j ACCEPT"}},
        {1, "ip_range",
         {"iptables -F REMOTE_MGMT_SRC_ACCEPT", jump("-I", chain, "REMOTE_MGMT_SRC_ACCEPT"),
          "iptables -A REMOTE_MGMT_SRC_ACCEPT -m iprange --src-range 10.0.0.5-10.0.0.9 -j ACCEPT"}},
        {0, "all",
         {"iptables -D REMOTE_MGMT_SRC_ACCEPT -s 10.0.0.5 -j ACCEPT",
          "iptables -D REMOTE_MGMT_SRC_ACCEPT -m iprange --src-range 10.0.0.5-10.0.0.9 -j ACCEPT"}},
    };
    for (const Case &c : cases) {
        sandbox::clear_calls();
        EXPECT_EQ(agApi_setDeviceListenPort_2(2, 8080, c.enable, c.scope, "10.0.0.5", "10.0.0.9"), 0);
        Lines expected = first_two;
        expected.insert(expected.end(), c.then.begin(), c.then.end());
        EXPECT_EQ(sandbox::calls(), expected) << c.scope << " " << c.enable;
    }
}

TEST_F(ListenPorts, PortIndexChoosesTheChain)
{
    struct Case {
        int32_t index;
        const char *chain;
    };
    for (const Case &c : {Case{6, "USB_INPUT_CHAIN"}, Case{7, "USB_INPUT_CHAIN"},
                          Case{2, "REMOTE_MGMT_WAN_CHAIN"}, Case{0, "INPUT"}, Case{99, "INPUT"},
                          Case{-1, "INPUT"}}) {
        sandbox::clear_calls();
        arnonat_addInputListenPort_2(0, c.index, 8080, 1, "all", "", "");
        ASSERT_EQ(sandbox::calls().size(), 4u);
        EXPECT_EQ(sandbox::calls()[3], jump("-I", std::string(c.chain) + " 1", "ACCEPT")) << c.index;
    }
    EXPECT_EQ(listenPort_mapping[3].index, -1);
    EXPECT_EQ(sizeof listenPort_mapping, 4u * 36u);
}

TEST_F(ListenPorts, PppSessionsUsePpp0)
{
    sandbox::set("wan_proto", "pppoe");
    arnonat_addInputListenPort_2(0, 2, 8080, 0, "all", "", "");
    EXPECT_EQ(sandbox::calls()[0],
              "iptables -D REMOTE_MGMT_WAN_CHAIN -i ppp0 -p tcp --dport 8080 -m conntrack "
              "--ctstate NEW,ESTABLISHED -j ACCEPT");
}

TEST_F(ListenPorts, AddressesAndInterfaceNeverRunAsShell)
{
    sandbox::set("wan_ifname", "x;touch /tmp/w");
    const char *evil = "1.2.3.4;touch /tmp/a";
    const char *evil2 = "$(touch /tmp/b)";
    arnonat_addInputListenPort_2(0, 2, 8080, 1, "ip_single", evil, evil2);
    arnonat_addInputListenPort_2(0, 2, 8080, 1, "range", evil, evil2);
    arnonat_addInputListenPort_2(0, 2, 8080, 0, "range", evil, evil2);
    for (const char *planted : {"/tmp/w", "/tmp/a", "/tmp/b"})
        EXPECT_FALSE(sandbox::exists(planted)) << planted;
    const Lines calls = sandbox::calls();
    ASSERT_EQ(calls.size(), 14u);
    EXPECT_EQ(calls[0], "iptables -D REMOTE_MGMT_WAN_CHAIN -i 'x;touch /tmp/w' -p tcp --dport 8080 "
                        "-m conntrack --ctstate NEW,ESTABLISHED -j ACCEPT");
    EXPECT_EQ(calls[4], "iptables -A REMOTE_MGMT_SRC_ACCEPT -s '1.2.3.4;touch /tmp/a' -j ACCEPT");
    EXPECT_EQ(calls[9], "iptables -A REMOTE_MGMT_SRC_ACCEPT -m iprange --src-range "
                        "'1.2.3.4;touch /tmp/a-$(touch /tmp/b)' -j ACCEPT");
}

TEST_F(ListenPorts, IpRangeMatch)
{
    char out[ARNONAT_IPRANGE_RULE_SIZE];
    EXPECT_EQ(ARNONAT_GenerateIPRangeRule(out, 0, "255.255.255.255", "255.255.255.254"), 0);
    EXPECT_STREQ(out, "-m iprange --src-range 255.255.255.255-255.255.255.254");
    EXPECT_EQ(ARNONAT_GenerateIPRangeRule(out, 0, "a b", "c"), 0);
    EXPECT_STREQ(out, "-m iprange --src-range 'a b'-c");

    sandbox::StdoutCapture refused;
    EXPECT_EQ(ARNONAT_GenerateIPRangeRule(out, 0, "255.255.255.255x", "255.255.255.254"), -1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(ARNONAT_GenerateIPRangeRule(out, 0, nullptr, "1.1.1.1"), -1);
    EXPECT_EQ(refused.finish(),
              "[ARNONAT_GenerateIPRangeRule]:text longer than 54 bytes refused, nothing written or run\n"
              "[ARNONAT_GenerateIPRangeRule]:address missing, no range written\n");
}

} // namespace

// Port forwarding rules, tested on the file they write, with the NAT rules
// of the entries held by the simulated engine.
#include <arpa/inet.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "arnonat.h"
#include "support/sandbox.h"
#include "zolt_natsim.h"

namespace {

const char kFile[] = "/tmp/forward-rules";
const std::string kFlush = "iptables -F PORTFORWARD_FORWARD_IN_CHAIN\n"
                           "iptables -t nat -F PORTFORWARD_NAT_CHAIN\n"
                           "iptables -t nat -F POST_PORTFORWARD_CHAIN\n";

NatRuleRecord engine_rule(int32_t id, const char *lan_ip, const char *wan_ip = "0.0.0.0")
{
    NatRuleRecord r{};
    r.id = id;
    r.lan_ip = inet_addr(lan_ip);
    r.wan_ip = inet_addr(wan_ip);
    r.flags_a = 2 << 4;
    r.flags_b = 0x10;
    return r;
}

class PortForward : public sandbox::Test {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        natsim_reset();
        std::memset(&g_iPolicyRecord, 0, sizeof g_iPolicyRecord);
        sandbox::set("wan_ifname", "eth0");
        sandbox::set("lan_ifname", "br0");
        sandbox::set("dhcp_start", "192.168.1.2");
        sandbox::set("wan_ipaddr", "10.0.0.5");
        rules({engine_rule(5, "192.168.1.10")});
    }

    static void rules(const std::vector<NatRuleRecord> &records)
    {
        const int32_t windows[6] = {0, static_cast<int32_t>(records.size()), 0, 0, 0, 0};
        ASSERT_EQ(natsim_set_nat_table(records.data(), static_cast<int>(records.size()), windows), 0);
    }

    // The lines written for the inbound record VALUE, after the flush lines.
    static std::string lines(const std::string &value)
    {
        sandbox::set("inbound_record", value);
        std::remove(kFile);
        sandbox::StdoutCapture out;
        EXPECT_EQ(ARNONAT_GeneratePortForwardRules(kFile), 0);
        EXPECT_EQ(out.finish(), "");
        std::string text = sandbox::read_file(kFile);
        EXPECT_EQ(text.substr(0, kFlush.size()), kFlush);
        return text.substr(kFlush.size());
    }
};

TEST_F(PortForward, TranslatedTcpPortWithLoopback)
{
    EXPECT_EQ(lines("1@5;8080;8080;80;80;7"),
              "iptables -t nat -A PORTFORWARD_NAT_CHAIN -i eth0 -p tcp --dport 8080 -j DNAT --to-destination 192.168.1.10:80\n"
              "iptables -t nat -A POSTROUTING -o br0 -p tcp --dport 8080 -j LOG --log-prefix REMOTE_ACCESS --log-level 5\n"
              "iptables -A PORTFORWARD_FORWARD_IN_CHAIN  -i eth0 ! -o eth0 -d 192.168.1.10 -p tcp --dport 80 -j ACCEPT\n"
              "iptables -t nat -A PORTFORWARD_NAT_CHAIN  -p tcp -i br0 -s 192.168.1.2/24 -d 10.0.0.5/32 --dport 8080 -j DNAT --to-destination 192.168.1.10:80\n"
              "iptables -t nat -A POST_PORTFORWARD_CHAIN -p tcp -s 192.168.1.2/24 -o br0 -d 192.168.1.10 --dport 80 -j SNAT --to-source 10.0.0.5\n");
}

TEST_F(PortForward, EveryShapeOfTheClauseTable)
{
    struct Case {
        const char *record;
        const char *nat, *log, *forward, *loop_dnat, *loop_snat;
    };
    const Case cases[] = {
        {"1@5;22;22;22;22;7", // single, not translated
         "--dport 22 -j DNAT --to-destination 192.168.1.10", "--dport 22", "--dport 22 -j ACCEPT",
         "--dport 22 -j DNAT --to-destination 192.168.1.10", "--dport 22"},
        {"1@5;2222;2222;22;22;7", // single, translated
         "--dport 2222 -j DNAT --to-destination 192.168.1.10:22", "--dport 2222",
         "--dport 22 -j ACCEPT", "--dport 2222 -j DNAT --to-destination 192.168.1.10:22",
         "--dport 22"},
        {"1@5;6000;6010;6000;6010;7", // range, not translated
         "--dport 6000:6010 -j DNAT --to-destination 192.168.1.10", "--dport 6000:6010",
         "--dport 6000:6010 -j ACCEPT", "--dport 6000:6010 -j DNAT --to-destination 192.168.1.10",
         "--dport 6000:6010"},
        {"1@5;7000;7010;6000;6010;7", // range, translated
         "--dport 7000:7010 -j DNAT --to-destination 192.168.1.10:6000-6010 --onebyone",
         "--dport 7000:7010", "--dport 6000:6010 -j ACCEPT",
         "--dport 7000:7010 -j DNAT --to-destination 192.168.1.10:6000-6010 --onebyone",
         "--dport 6000:6010"},
    };
    for (const Case &c : cases) {
        const std::string expected =
            std::string("iptables -t nat -A PORTFORWARD_NAT_CHAIN -i eth0 -p tcp ") + c.nat + "\n" +
            "iptables -t nat -A POSTROUTING -o br0 -p tcp " + c.log +
            " -j LOG --log-prefix REMOTE_ACCESS --log-level 5\n" +
            "iptables -A PORTFORWARD_FORWARD_IN_CHAIN  -i eth0 ! -o eth0 -d 192.168.1.10 -p tcp " +
            c.forward + "\n" +
            "iptables -t nat -A PORTFORWARD_NAT_CHAIN  -p tcp -i br0 -s 192.168.1.2/24 -d 10.0.0.5/32 " +
            c.loop_dnat + "\n" +
            "iptables -t nat -A POST_PORTFORWARD_CHAIN -p tcp -s 192.168.1.2/24 -o br0 -d 192.168.1.10 " +
            c.loop_snat + " -j SNAT --to-source 10.0.0.5\n";
        EXPECT_EQ(lines(c.record), expected) << c.record;
    }
}

TEST_F(PortForward, UntranslatedRangeMatchesInternalEndForTcpAndExternalStartForUdp)
{
    // Internal end below the external end: TCP matches is:ie, UDP es:ie.
    std::string text = lines("1@5;6000;6010;6000;6005;9");
    EXPECT_NE(text.find("-p tcp --dport 6000:6005 -j DNAT --to-destination 192.168.1.10\n"),
              std::string::npos);
    EXPECT_NE(text.find("-p udp --dport 6000:6005 -j DNAT --to-destination 192.168.1.10\n"),
              std::string::npos);
    EXPECT_NE(text.find("-p udp -s 192.168.1.2/24 -o br0 -d 192.168.1.10 --dport 6000:6005 -j SNAT"),
              std::string::npos);
}

size_t count_lines(const std::string &text)
{
    size_t n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

TEST_F(PortForward, ProtocolsAndWanAddressDecideTheLineCount)
{
    struct Case {
        const char *record, *wan_address;
        size_t lines;
    };
    const Case cases[] = {
        {"1@5;80;80;80;80;9", "10.0.0.5", 10}, {"1@5;80;80;80;80;9", "0.0.0.0", 6},
        {"1@5;80;80;80;80;9", "", 10},         {"1@5;80;80;80;80;8", "0.0.0.0", 3},
        {"1@5;80;80;80;80;5", "", 0},          {"1@5;80;80;80;80;3", "", 0},
    };
    for (const Case &c : cases) {
        sandbox::set("wan_ipaddr", c.wan_address);
        std::string text = lines(c.record);
        EXPECT_EQ(count_lines(text), c.lines) << c.record << " " << c.wan_address;
        if (c.lines == 10)
            EXPECT_LT(text.find(" -p tcp "), text.find(" -p udp ")) << "TCP block first";
    }
}

TEST_F(PortForward, RemoteHostRestrictsNatAndForwardLines)
{
    rules({engine_rule(5, "192.168.1.10", "203.0.113.7")});
    sandbox::set("wan_ipaddr", "0.0.0.0");
    EXPECT_EQ(lines("1@5;8080;8080;80;80;8"),
              "iptables -t nat -A PORTFORWARD_NAT_CHAIN -i eth0 -s 203.0.113.7 -p udp --dport 8080 -j DNAT --to-destination 192.168.1.10:80\n"
              "iptables -t nat -A POSTROUTING -o br0 -p udp --dport 8080 -j LOG --log-prefix REMOTE_ACCESS --log-level 5\n"
              "iptables -A PORTFORWARD_FORWARD_IN_CHAIN  -i eth0 ! -o eth0 -s 203.0.113.7 -d 192.168.1.10 -p udp --dport 80 -j ACCEPT\n");
}

TEST_F(PortForward, EntriesWithoutTheirEngineRuleAreSkipped)
{
    // Rule 6 is not in the engine; rule 7 is there but not in use.
    NatRuleRecord unused = engine_rule(7, "192.168.1.20");
    unused.flags_b = 0;
    rules({engine_rule(5, "192.168.1.10"), unused});
    sandbox::set("wan_ipaddr", "0.0.0.0");
    std::string text = lines("3@6;80;80;80;80;7@7;81;81;81;81;7@5;82;82;82;82;7");
    EXPECT_EQ(count_lines(text), 3u);
    EXPECT_NE(text.find("--dport 82 -j DNAT --to-destination 192.168.1.10\n"), std::string::npos);

    natsim_set_device("/dev/zolt_nat_cli", 0);
    EXPECT_EQ(lines("1@5;82;82;82;82;7"), "");
    EXPECT_EQ(lines("0"), "");
}

TEST_F(PortForward, InternalPortZeroForwardsTheExternalPorts)
{
    sandbox::set("wan_ipaddr", "0.0.0.0");
    EXPECT_EQ(lines("1@5;8080;8080;0;0;7"),
              "iptables -t nat -A PORTFORWARD_NAT_CHAIN -i eth0 -p tcp --dport 8080 -j DNAT --to-destination 192.168.1.10\n"
              "iptables -t nat -A POSTROUTING -o br0 -p tcp --dport 8080 -j LOG --log-prefix REMOTE_ACCESS --log-level 5\n"
              "iptables -A PORTFORWARD_FORWARD_IN_CHAIN  -i eth0 ! -o eth0 -d 192.168.1.10 -p tcp --dport 8080 -j ACCEPT\n");
    std::string range = lines("1@5;6000;6010;0;0;8");
    EXPECT_NE(range.find("-p udp --dport 6000:6010 -j DNAT --to-destination 192.168.1.10\n"),
              std::string::npos);
}

TEST_F(PortForward, FileThatCannotBeOpenedWritesNothing)
{
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GeneratePortForwardRules("/tmp/missing-dir/rules"), -1);
    EXPECT_EQ(out.finish(), "");
}

TEST_F(PortForward, HostileSettingsStayShellWords)
{
    sandbox::set("lan_ifname", "br0;reboot");
    sandbox::set("dhcp_start", "$(reboot)");
    sandbox::set("wan_ipaddr", "1.2.3.4 `reboot`");
    sandbox::set("wan_ifname", "e'th0");
    lines("1@5;8080;8080;80;80;7");
    sandbox::clear_calls();
    sandbox::Result r = sandbox::run(std::string("sh ") + kFile);
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> calls = sandbox::calls();
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[3], "iptables -t nat -A PORTFORWARD_NAT_CHAIN -i e'th0 -p tcp --dport 8080 -j DNAT --to-destination 192.168.1.10:80");
    EXPECT_EQ(calls[4], "iptables -t nat -A POSTROUTING -o br0;reboot -p tcp --dport 8080 -j LOG --log-prefix REMOTE_ACCESS --log-level 5");
    EXPECT_EQ(calls[7], "iptables -t nat -A POST_PORTFORWARD_CHAIN -p tcp -s $(reboot)/24 -o br0;reboot -d 192.168.1.10 --dport 80 -j SNAT --to-source '1.2.3.4 `reboot`'");
}

TEST_F(PortForward, RunTimeCategoryRegeneratesTheChains)
{
    sandbox::set("inbound_record", "1@5;8080;8080;80;80;7");
    sandbox::set("wan_ipaddr", "0.0.0.0");
    EXPECT_EQ(ARNONAT_ApplyConfigForService("port_forward"), 0);
    EXPECT_EQ(sandbox::read_file(ARNONAT_RUNTIME_RULES_FILE),
              "#!/bin/sh\nPATH=${PATH}:/sbin:/usr/sbin\n" + kFlush +
                  "iptables -t nat -A PORTFORWARD_NAT_CHAIN -i eth0 -p tcp --dport 8080 -j DNAT --to-destination 192.168.1.10:80\n"
                  "iptables -t nat -A POSTROUTING -o br0 -p tcp --dport 8080 -j LOG --log-prefix REMOTE_ACCESS --log-level 5\n"
                  "iptables -A PORTFORWARD_FORWARD_IN_CHAIN  -i eth0 ! -o eth0 -d 192.168.1.10 -p tcp --dport 80 -j ACCEPT\n");
}

// ---- the rule applied at once ----

const std::string kHeader = "#!/bin/sh\nPATH=${PATH}:/sbin:/usr/sbin\n";

int execute(std::vector<std::string> words)
{
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    return ARNONAT_ExecuteOnePortForwardRule(static_cast<int>(argv.size()), argv.data());
}

TEST_F(PortForward, OneRuleNeedsFiveWordsAndADottedQuad)
{
    // No protocol word: the header alone, and the script still runs.
    EXPECT_EQ(execute({"ruleadd", "80", "80", "192.168.1.30", "8080"}), 0);
    EXPECT_EQ(sandbox::read_file(ARNONAT_RUNTIME_RULES_FILE), kHeader);
    EXPECT_EQ(execute({"ruleadd", "80", "80", "192.168.1.30", "8080", "icmp"}), 0);
    EXPECT_EQ(sandbox::read_file(ARNONAT_RUNTIME_RULES_FILE), kHeader);
    EXPECT_TRUE(sandbox::calls().empty());

    std::remove(ARNONAT_RUNTIME_RULES_FILE);
    sandbox::StdoutCapture out;
    EXPECT_EQ(execute({"ruleadd", "80", "80", "192.168.1.30"}), 0);
    EXPECT_EQ(execute({"ruleadd", "80", "80", "192.168.1.30;reboot", "8080", "tcp"}), 0);
    EXPECT_EQ(ARNONAT_ExecuteOnePortForwardRule(6, nullptr), 0);
    EXPECT_EQ(out.finish(),
              "[ARNONAT_ExecuteOnePortForwardRule]:words missing (4 given, 5 needed): rule not applied\n"
              "[ARNONAT_ExecuteOnePortForwardRule]:server address is not a dotted quad: rule not applied\n"
              "[ARNONAT_ExecuteOnePortForwardRule]:words missing (6 given, 5 needed): rule not applied\n");
    EXPECT_FALSE(sandbox::exists(ARNONAT_RUNTIME_RULES_FILE));
}

TEST_F(PortForward, ScriptThatCannotBeCreatedRunsNothing)
{
    // A directory in the file's place cannot be replaced.
    sandbox::run(std::string("mkdir -p ") + ARNONAT_RUNTIME_RULES_FILE + "/x");
    sandbox::StdoutCapture out;
    EXPECT_EQ(execute({"ruleadd", "80", "80", "192.168.1.30", "8080", "tcp"}), 0);
    EXPECT_EQ(out.finish(), "[ARNONAT_ExecuteOnePortForwardRule]:cannot write /tmp/custom-service-rules: Is a "
                            "directory; the previous file stays in place\n");
    EXPECT_TRUE(sandbox::calls().empty());
}

} // namespace

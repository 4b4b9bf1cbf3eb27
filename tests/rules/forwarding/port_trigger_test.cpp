// Port triggering rules, tested on the file they write.
#include <cstdio>
#include <string>
#include <vector>

#include "arnonat.h"
#include "rules/forwarding/port_trigger_policy.h"
#include "support/sandbox.h"

namespace {

const std::string kFlush = "iptables -F PORTTRIGGER_FORWARD_IN_CHAIN\n"
                           "iptables -t nat -F PORTTRIGGER_NAT_CHAIN\n";
const std::string kNoDefaults = "Info: No FWPT default policies.\n";
const char kFile[] = "/tmp/trigger-rules";

class PortTrigger : public sandbox::Test {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        sandbox::set("fwpt_enable", "1");
        sandbox::set("lan_ifname", "br0");
        sandbox::set("wan_ifname", "eth0");
    }

    static void policies(const std::vector<std::string> &values)
    {
        sandbox::set("fwpt_count", std::to_string(values.size()));
        for (size_t k = 0; k < values.size(); ++k)
            sandbox::set("fwpt" + std::to_string(k), values[k]);
    }

    // The lines written after the flush lines; what was printed goes to OUT.
    static std::string rules(const std::string &policy, std::string *out = nullptr)
    {
        policies({policy});
        std::remove(kFile);
        sandbox::StdoutCapture capture;
        EXPECT_EQ(ARNONAT_GeneratePortTriggerRules(kFile), 0);
        std::string printed = capture.finish();
        if (out)
            *out = printed;
        std::string text = sandbox::read_file(kFile);
        EXPECT_EQ(text.substr(0, kFlush.size()), kFlush);
        return text.substr(kFlush.size());
    }
};

const std::string kExample = "1:Game:2:6401a8c0:6:8000:I1:1:6:9000:9010";
const std::string kExampleRules =
    "ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1  -i br0  -p tcp -s 192.168.1.100 --dport 8000 -j TRIGGER --trigger-type out  --trigger-proto tcp --trigger-match 9000-9010 --trigger-relate 9000-9010 \n"
    "ip4tables -t nat -A POSTROUTING -o br0 -p tcp --dport 9000:9010  -j LOG --log-prefix REMOTE_ACCESS --log-level 5\n"
    "ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1  -i eth0  -p tcp --dport 9000:9010  -j TRIGGER --trigger-type dnat \n"
    "ip4tables -I PORTTRIGGER_FORWARD_IN_CHAIN 1   -i eth0  -p tcp -d 192.168.1.100 --dport 9000:9010  -j TRIGGER --trigger-type in \n";

TEST_F(PortTrigger, GamePolicyForOneHost)
{
    std::string out;
    EXPECT_EQ(rules(kExample, &out), kExampleRules);
    EXPECT_EQ(out, kNoDefaults);
}

TEST_F(PortTrigger, TriggerProtocolAndInboundSwitchChooseTheLines)
{
    struct Case {
        const char *policy;
        const char *lines;
    };
    const Case cases[] = {
        // UDP keeps its out rule with the inbound side off; single port 9000.
        {"1:Voice:1:6401a8c0:17:5060:I1:0:17:9000:0",
         "ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1  -i br0  -p udp --dport 9000 -j TRIGGER --trigger-type out  --trigger-proto udp --trigger-match 9000 --trigger-relate 9000 \n"
         "ip4tables -t nat -A POSTROUTING -o br0 -p udp --dport 9000 -j LOG --log-prefix REMOTE_ACCESS --log-level 5\n"
         "ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1  -i eth0  -p udp --dport 9000 -j TRIGGER --trigger-type dnat \n"
         "ip4tables -I PORTTRIGGER_FORWARD_IN_CHAIN 1   -i eth0  -p udp --dport 9000 -j TRIGGER --trigger-type in \n"},
        // Both protocols: TCP out, TCP LOG, UDP out, UDP LOG, dnat, in.
        {"2:Both:2:0a00000a:100:7000:I1:1:100:9000:9010",
         "ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1  -i br0  -p tcp -s 10.0.0.10 --dport 7000 -j TRIGGER --trigger-type out  --trigger-proto all --trigger-match 9000-9010 --trigger-relate 9000-9010 \n"
         "ip4tables -t nat -A POSTROUTING -o br0 -p tcp --dport 9000:9010  -j LOG --log-prefix REMOTE_ACCESS --log-level 5\n"
         "ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1  -i br0  -p udp -s 10.0.0.10 --dport 9000:9010  -j TRIGGER --trigger-type out  --trigger-proto all --trigger-match 9000-9010 --trigger-relate 9000-9010 \n"
         "ip4tables -t nat -A POSTROUTING -o br0 -p udp --dport 9000:9010  -j LOG --log-prefix REMOTE_ACCESS --log-level 5\n"
         "ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1  -i eth0  -p tcp --dport 9000:9010  -j TRIGGER --trigger-type dnat \n"
         "ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1  -i eth0  -p udp --dport 9000:9010  -j TRIGGER --trigger-type dnat \n"
         "ip4tables -I PORTTRIGGER_FORWARD_IN_CHAIN 1   -i eth0  -p tcp -d 10.0.0.10 --dport 9000:9010  -j TRIGGER --trigger-type in \n"
         "ip4tables -I PORTTRIGGER_FORWARD_IN_CHAIN 1   -i eth0  -p udp -d 10.0.0.10 --dport 9000:9010  -j TRIGGER --trigger-type in \n"},
        // Both protocols with the inbound side off: no out rule of either.
        {"3:Off:0:6401a8c0:100:7000:I1:0:6:9000:0",
         "ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1  -i eth0  -p tcp --dport 9000 -j TRIGGER --trigger-type dnat \n"
         "ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1  -i eth0  -p udp --dport 9000 -j TRIGGER --trigger-type dnat \n"
         "ip4tables -I PORTTRIGGER_FORWARD_IN_CHAIN 1   -i eth0  -p tcp --dport 9000 -j TRIGGER --trigger-type in \n"
         "ip4tables -I PORTTRIGGER_FORWARD_IN_CHAIN 1   -i eth0  -p udp --dport 9000 -j TRIGGER --trigger-type in \n"},
        // No inbound part: inbound fields 0, so no out rule and port 0.
        {"4:Bare:2:6401a8c0:6:8000:X",
         "ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1  -i eth0  -p tcp --dport 0 -j TRIGGER --trigger-type dnat \n"
         "ip4tables -I PORTTRIGGER_FORWARD_IN_CHAIN 1   -i eth0  -p tcp -d 192.168.1.100 --dport 0 -j TRIGGER --trigger-type in \n"},
        // An unknown trigger protocol writes nothing for the policy.
        {"5:Odd:2:6401a8c0:47:8000:I1:1:6:9000:9010", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(rules(c.policy), c.lines) << c.policy;
}

TEST_F(PortTrigger, UnknownInboundProtocolIsReportedForEachOutRule)
{
    std::string out;
    std::string lines = rules("1:G:1:0:100:8000:I1:1:4:9000:0", &out);
    EXPECT_EQ(out, kNoDefaults + "Invalid protocol applied for Port Trigger\n"
                                 "Invalid protocol applied for Port Trigger\n");
    EXPECT_EQ(lines.substr(0, lines.find('\n') + 1),
              "ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1  -i br0  -p tcp --dport 8000 -j TRIGGER --trigger-type out --trigger-match 9000 --trigger-relate 9000 \n");
}

TEST_F(PortTrigger, SwitchedOffWritesTheFlushLinesOnlyAndKeepsTheTable)
{
    rules(kExample);
    for (const char *enable : {"0", "", "1 ", "enable"}) {
        sandbox::set("fwpt_enable", enable);
        std::string out;
        EXPECT_EQ(rules("1:Other:2:6401a8c0:6:1:X", &out), "") << enable;
        EXPECT_EQ(out, "") << enable;
    }
    EXPECT_EQ(arnonat::g_triggerPolicy[0].usTrigPort, 8000);
}

TEST_F(PortTrigger, AppendsAndReportsAFileItCannotOpen)
{
    sandbox::write_file(kFile, "# before\n");
    policies({kExample});
    {
        sandbox::StdoutCapture out;
        EXPECT_EQ(ARNONAT_GeneratePortTriggerRules(kFile), 0);
        out.finish();
    }
    EXPECT_EQ(sandbox::read_file(kFile), "# before\n" + kFlush + kExampleRules);

    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GeneratePortTriggerRules("/tmp/missing/folder/rules"), -1);
    EXPECT_EQ(ARNONAT_GeneratePortTriggerRules(nullptr), -1);
    EXPECT_EQ(out.finish(), "Failed to open custom rules file\nFailed to open custom rules file\n");
}

TEST_F(PortTrigger, TooLongALanNameLeavesTheChainsFlushed)
{
    sandbox::set("lan_ifname", std::string(64, 'l'));
    std::string out;
    EXPECT_EQ(rules(kExample, &out), "");
    EXPECT_EQ(out, kNoDefaults + "[ARNONAT_GeneratePortTriggerRules]:text longer than 63 bytes refused, "
                                 "nothing written or run\n");
    sandbox::set("lan_ifname", std::string(63, 'l'));
    EXPECT_EQ(rules(kExample).find(" -i " + std::string(63, 'l') + "  -p tcp"), 44u);
}

class PortTriggerRuntime : public PortTrigger {};

TEST_F(PortTriggerRuntime, CategoryRewritesTheRuntimeFileAndTheRunnerAppliesIt)
{
    sandbox::write_file("/tmp/custom-service-rules", "old\n");
    policies({kExample});
    {
        sandbox::StdoutCapture out;
        EXPECT_EQ(ARNONAT_ApplyConfigForService("port_trigger"), 0);
        EXPECT_EQ(out.finish(), kNoDefaults);
    }
    EXPECT_EQ(sandbox::read_file("/tmp/custom-service-rules"),
              "#!/bin/sh\nPATH=${PATH}:/sbin:/usr/sbin\n" + kFlush + kExampleRules);

    EXPECT_EQ(sandbox::run("/sbin/main_run_custom_services").status, 0);
    EXPECT_EQ(sandbox::calls(),
              (std::vector<std::string>{
                  "/sbin/main_run_custom_services",
                  "iptables -F PORTTRIGGER_FORWARD_IN_CHAIN",
                  "iptables -t nat -F PORTTRIGGER_NAT_CHAIN",
                  "ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1 -i br0 -p tcp -s 192.168.1.100 --dport 8000 -j TRIGGER --trigger-type out --trigger-proto tcp --trigger-match 9000-9010 --trigger-relate 9000-9010",
                  "ip4tables -t nat -A POSTROUTING -o br0 -p tcp --dport 9000:9010 -j LOG --log-prefix REMOTE_ACCESS --log-level 5",
                  "ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1 -i eth0 -p tcp --dport 9000:9010 -j TRIGGER --trigger-type dnat",
                  "ip4tables -I PORTTRIGGER_FORWARD_IN_CHAIN 1 -i eth0 -p tcp -d 192.168.1.100 --dport 9000:9010 -j TRIGGER --trigger-type in",
              }));
}

TEST_F(PortTriggerRuntime, InterfaceNamesReachTheShellAsOneWordEach)
{
    sandbox::set("lan_ifname", "br0; touch /tmp/lan-ran 'x'");
    sandbox::set("wan_ifname", "$(touch /tmp/w)");
    policies({"1:G:1:0:17:5060:I1:1:17:9000:0"});
    {
        sandbox::StdoutCapture out;
        EXPECT_EQ(ARNONAT_ApplyConfigForService("port_trigger"), 0);
        out.finish();
    }
    EXPECT_EQ(sandbox::run("sh /tmp/custom-service-rules").status, 0);
    EXPECT_FALSE(sandbox::exists("/tmp/lan-ran"));
    EXPECT_FALSE(sandbox::exists("/tmp/w"));
    std::vector<std::string> calls = sandbox::calls();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[2], "ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1 -i 'br0; touch /tmp/lan-ran 'x'' -p udp --dport 9000 -j TRIGGER --trigger-type out --trigger-proto udp --trigger-match 9000 --trigger-relate 9000");
    EXPECT_EQ(calls[3], "ip4tables -t nat -A POSTROUTING -o 'br0; touch /tmp/lan-ran 'x'' -p udp --dport 9000 -j LOG --log-prefix REMOTE_ACCESS --log-level 5");
    EXPECT_EQ(calls[4], "ip4tables -t nat -I PORTTRIGGER_NAT_CHAIN 1 -i '$(touch /tmp/w)' -p udp --dport 9000 -j TRIGGER --trigger-type dnat");
}

} // namespace

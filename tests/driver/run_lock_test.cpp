// Runs started together take turns: each file is one whole run's output.
#include <string>
#include <vector>

#include "support/sandbox.h"

namespace {

class RunLock : public sandbox::Test {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        // Enough features on that a run appends to its files many times.
        const std::pair<const char *, const char *> settings[] = {
            {"wan_ifname", "eth0"},      {"lan_ifname", "br0"},          {"fw_dmz_enab", "1"},
            {"dmz_ipaddr", "192.168.1.5"}, {"enable_vlan", "enable"},    {"vlan_name", "video voice"},
            {"vlan_id", "10 20"},        {"bs_enable", "2"},             {"bs_keywords", "casino\npoker"},
            {"ru_igmp_enable", "1"},     {"rip_enable", "1"},            {"usb_wan_ftp_enable", "1"},
            {"usb_wan_ftp_port", "21"},  {"http_rmenable", "1"},
        };
        for (const auto &[key, value] : settings)
            sandbox::set(key, value);
    }
};

TEST_F(RunLock, RunsStartedTogetherDoNotInterleave)
{
    // The custom services runner, called halfway through the assembly, takes
    // a moment: time enough for another run to cut in.
    sandbox::write_file("/usr/sbin/main_run_custom_services", "#!/bin/sh\nsleep 0.2\n");
    sandbox::run("chmod 755 /usr/sbin/main_run_custom_services");
    ASSERT_EQ(sandbox::arnonat("restart").status, 0);
    const std::string config = sandbox::read_file("/tmp/extra_arno_config");
    const std::string rules = sandbox::read_file("/tmp/custom_iptables_rules");
    ASSERT_NE(rules.find("casino"), std::string::npos);

    for (int round = 0; round < 2; ++round) {
        sandbox::clear_calls();
        std::string runs;
        for (int k = 0; k < 4; ++k)
            runs += sandbox::program(ARNONAT_CLI) + " restart >/dev/null & ";
        sandbox::Result r = sandbox::run(runs + "wait");
        ASSERT_EQ(r.status, 0);
        EXPECT_EQ(sandbox::read_file("/tmp/extra_arno_config"), config);
        EXPECT_EQ(sandbox::read_file("/tmp/custom_iptables_rules"), rules);
        EXPECT_EQ(sandbox::calls().size(), 4u);
    }
}

TEST_F(RunLock, ARunInsideTheFirewallScriptDoesNotWait)
{
    // The firewall script itself starts another run, as a router's script may.
    sandbox::write_file("/usr/sbin/carno-iptables-firewall.sh",
                        "#!/bin/sh\n" + sandbox::program(ARNONAT_CLI) + " bs >/dev/null\necho nested $? >>/tmp/nested\n");
    sandbox::run("chmod 755 /usr/sbin/carno-iptables-firewall.sh");
    sandbox::Result r = sandbox::arnonat("restart");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(sandbox::read_file("/tmp/nested"), "nested 0\n");
    // the nested run appended its block services flush line to the outer run's file
    const std::string rules = sandbox::read_file("/tmp/custom_iptables_rules");
    const std::string flush = "iptables -F BLOCK_SERVICE_CHAIN\n";
    ASSERT_GT(rules.size(), flush.size());
    EXPECT_EQ(rules.substr(rules.size() - flush.size()), flush);
}

TEST_F(RunLock, AHeldLockIsWaitedForAndTheRunThenGoesAhead)
{
    sandbox::set("http_rmenable", "0");
    // Another holder keeps the lock for a moment, then lets go.
    sandbox::Result r = sandbox::run("flock /tmp/arnonat.lock sleep 1 & sleep 0.2; " +
                                     sandbox::program(ARNONAT_CLI) + " restart; wait");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("nothing done"), std::string::npos);
    EXPECT_EQ(sandbox::calls().size(), 1u);
}

} // namespace

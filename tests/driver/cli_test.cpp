// The arnonat program as the router runs it: run words, files written,
// commands run and exit status.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/sandbox.h"

namespace {

using Calls = std::vector<std::string>;

const std::string kEmptyNatBlock = "DMZ_TCP=\"\\\n\"\nDMZ_UDP=\"\\\n\"\n";

std::string script_line(const std::string &action)
{
    return "ARNONAT_RunArno 588 cmd: /usr/sbin/carno-iptables-firewall.sh " + action + " >/dev/null\n";
}

class RunWords : public sandbox::Test {};

TEST_F(RunWords, EachWordRegeneratesAndRunsTheScriptWithItsAction)
{
    struct Case {
        std::string args;
        std::string action;
    };
    const Case cases[] = {
        {"", "restart"},          {"restart", "restart"},      {"start", "start"},
        {"stop", "stop"},         {"restart_all", "restart"},  {"flush_chain", "restart"},
        {"create_chain", "restart"}, {"Restart", "restart"},   {"whatever", "restart"},
        {"start extra words", "start"},
    };
    for (const Case &c : cases) {
        sandbox::write_file("/tmp/extra_arno_config", "stale\n");
        sandbox::write_file("/tmp/custom_iptables_rules", "stale\n");
        sandbox::clear_calls();

        sandbox::Result r = sandbox::arnonat(c.args);
        EXPECT_EQ(r.status, 0) << c.args;
        // The generators' progress messages come first; the script line last.
        ASSERT_GE(r.out.size(), script_line(c.action).size()) << c.args;
        EXPECT_EQ(r.out.substr(r.out.size() - script_line(c.action).size()), script_line(c.action)) << c.args;
        EXPECT_EQ(sandbox::calls(), Calls{"/usr/sbin/carno-iptables-firewall.sh " + c.action}) << c.args;
        // "stop" too writes both files in full before the script runs.
        EXPECT_EQ(sandbox::read_file("/tmp/extra_arno_config"), kEmptyNatBlock) << c.args;
        EXPECT_EQ(sandbox::read_file("/tmp/custom_iptables_rules").rfind(sandbox::kStockRules, 0), 0u)
            << c.args;
    }
}

TEST_F(RunWords, RouterModeZeroWritesOnlyNatOff)
{
    sandbox::set("router_mode", "0");
    sandbox::set("fw_dmz_enab", "1");
    sandbox::set("dmz_ipaddr", "192.168.1.5");
    EXPECT_EQ(sandbox::arnonat("restart").status, 0);
    EXPECT_EQ(sandbox::read_file("/tmp/extra_arno_config"), "NAT=0\n");
}

TEST_F(RunWords, BaseConfigurationThatCannotBeCreatedEndsWith255AndRunsNothing)
{
    ::mkdir("/tmp/extra_arno_config", 0755); // a folder cannot be opened for writing
    sandbox::write_file("/tmp/custom_iptables_rules", "previous run\n");

    sandbox::Result r = sandbox::arnonat("restart");
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "[ARNONAT_GenerateConfigFile]:cannot write /tmp/extra_arno_config: Is a directory; the "
                     "previous file stays in place\nFailed to config file\n");
    EXPECT_EQ(sandbox::calls(), Calls{});
    EXPECT_EQ(sandbox::read_file("/tmp/custom_iptables_rules"), "previous run\n");
}

TEST_F(RunWords, EmptyWanInterfaceInRouterModeIsToldOncePerRun)
{
    const std::string notice =
        "arnonat: wan_ifname is empty in router mode: the WAN rules name no interface and do not protect the router\n";
    const struct {
        const char *router_mode, *wan_proto, *wan_ifname;
        bool told;
    } rows[] = {
        {"", "dhcp", "", true},    {"1", "static", "", true}, {"1", "dhcp", "eth0", false},
        {"1", "pppoe", "", false}, {"0", "dhcp", "", false},
    };
    for (const auto &row : rows) {
        sandbox::set("router_mode", row.router_mode);
        sandbox::set("wan_proto", row.wan_proto);
        sandbox::set("wan_ifname", row.wan_ifname);
        sandbox::set("ru_igmp_enable", "1"); // one more generator that names the WAN side
        sandbox::Result r = sandbox::arnonat("restart");
        EXPECT_EQ(r.status, 0);
        size_t at = r.out.find(notice);
        EXPECT_EQ(at != std::string::npos, row.told) << row.router_mode << row.wan_proto << row.wan_ifname;
        if (at != std::string::npos)
            EXPECT_EQ(r.out.find(notice, at + 1), std::string::npos);
    }
}

TEST_F(RunWords, ApplyRemoteManagementLeavesTheHeaderAndRunsTheRunner)
{
    sandbox::write_file("/tmp/custom-service-rules", "old rules\n");
    sandbox::write_file("/tmp/extra_arno_config", "untouched\n");

    sandbox::Result r = sandbox::arnonat("apply_remotemanagement");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(sandbox::read_file("/tmp/custom-service-rules"), "#!/bin/sh\nPATH=${PATH}:/sbin:/usr/sbin\n");
    EXPECT_EQ(sandbox::calls(), Calls{"/sbin/main_run_custom_services"});
    EXPECT_EQ(sandbox::read_file("/tmp/extra_arno_config"), "untouched\n");
}

TEST_F(RunWords, RemoteManagementOnRunsTheRunnerDuringAssemblyBeforeTheScript)
{
    sandbox::set("http_rmenable", "1");
    sandbox::Result r = sandbox::arnonat("start");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(sandbox::calls(),
              (Calls{"/sbin/main_run_custom_services", "/usr/sbin/carno-iptables-firewall.sh start"}));
    EXPECT_EQ(sandbox::read_file("/tmp/custom-service-rules"), "#!/bin/sh\nPATH=${PATH}:/sbin:/usr/sbin\n");
}

TEST_F(RunWords, DmzOnWritesBothPortLists)
{
    sandbox::set("fw_dmz_enab", "1");
    sandbox::set("dmz_ipaddr", "192.168.1.5");
    sandbox::set("http_rmport", "8080");
    sandbox::set("inbound_record", "1@3;21;21;2121;2121;7");
    EXPECT_EQ(sandbox::arnonat("restart").status, 0);
    EXPECT_EQ(sandbox::read_file("/tmp/extra_arno_config"),
              "DMZ_TCP=\"\\\n"
              " 1-20,23-8079,8081-65535>192.168.1.5\\\n"
              "\"\n"
              "DMZ_UDP=\"\\\n"
              " 1-20,22-67,69-160,162-55001,55003-65535>192.168.1.5\\\n"
              "\"\n");
}

TEST_F(RunWords, DmzHostHoldingShellSyntaxWritesNothing)
{
    sandbox::set("fw_dmz_enab", "1");
    sandbox::set("dmz_ipaddr", "1.2.3.4\"; reboot; \"");
    EXPECT_EQ(sandbox::arnonat("restart").status, 0);
    EXPECT_EQ(sandbox::read_file("/tmp/extra_arno_config"), kEmptyNatBlock);
}

} // namespace

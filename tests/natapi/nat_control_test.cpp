// NAT on and off, interface hooks, ALG settings, the ALG table dump and the
// one-call start-up, against the simulated engine.
#include <arpa/inet.h>

#include <cstdio>
#include <string>
#include <vector>

#include "natapi/engine_test.h"

namespace {

using namespace natapi_test;

TEST_F(EngineTest, SwitchingNatPrintsWhatTheEngineTook)
{
    ASSERT_EQ(natsim_set_version("zolt-nat 2.4.1"), 0);
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natGetStatus(), 1);
    EXPECT_EQ(agApi_natEnable(), 1);
    EXPECT_EQ(agApi_natGetStatus(), 1);
    EXPECT_EQ(agApi_natDisable(), 1);
    natsim_force_result(0x80046400, -1);
    EXPECT_EQ(agApi_natEnable(), -1);
    EXPECT_EQ(agApi_natVerShow(), 1);
    EXPECT_EQ(out.finish(), "\nNAT status : OFF\n\n"
                            "\nNAT Enabled\n\n"
                            "\nNAT status : ON\n\n"
                            "\nNAT Disabled\n\n"
                            "[agApi_natEnable]:ioctl_set_msg failed:-1\n"
                            "\nCurrent NAT Version : zolt-nat 2.4.1\n\n");
}

TEST_F(EngineTest, HooksCarryTheNameWithoutItsTerminator)
{
    struct Row {
        int (*call)(const char *);
        unsigned long code;
    };
    const Row rows[] = {{agApi_natLanHook, 0x80046426}, {agApi_natHook, 0x80046425},
                        {agApi_natPptpWanHook, 0x80046448}, {agApi_natUnhook, 0x80046427},
                        {agApi_natLanUnhook, 0x800464AD}};
    for (const Row &r : rows) {
        natsim_log_clear();
        EXPECT_EQ(r.call("br0"), 1);
        const natsim_call &c = only_call();
        EXPECT_EQ(c.code, r.code);
        EXPECT_EQ(c.count, 0);
        EXPECT_EQ(lengths(c, 2), (std::vector<uint32_t>{3, 0}));
        EXPECT_EQ(field(c, 0), "br0");
    }
    // Without a name the unhook commands carry the value 0; a hook refuses.
    for (const Row &r : {rows[3], rows[4]}) {
        natsim_log_clear();
        EXPECT_EQ(r.call(nullptr), 1);
        EXPECT_EQ(only_call().arg, 0u);
    }
    natsim_log_clear();
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natHook(nullptr), -1);
    EXPECT_EQ(out.finish(), "[agApi_natHook]:no interface name given, nothing sent\n");
    EXPECT_EQ(natsim_log_size(), 0u);
}

TEST_F(EngineTest, AlgSettingChecksItsNameFirst)
{
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_setAlg(nullptr, 1), 0);
    EXPECT_EQ(agApi_setAlg("", 1), 0);
    EXPECT_EQ(out.finish(), "agApi_setAlg input parameters error.\n"
                            "agApi_setAlg input parameters error.\n");
    EXPECT_EQ(natsim_log_size(), 0u);

    EXPECT_EQ(agApi_setAlg("sip", -3), 1);
    const natsim_call &c = only_call();
    EXPECT_EQ(c.code, 0x8004649Au);
    EXPECT_EQ(c.count, 2);
    EXPECT_EQ(lengths(c, 3), (std::vector<uint32_t>{3, 4, 0}));
    EXPECT_EQ(field(c, 0) + field(c, 1), "sip" + bytes<int32_t>(-3));
}

AlgTblEntry alg(const char *name, int32_t enabled, const char *dest, const char *src,
                std::vector<std::pair<uint8_t, uint16_t>> pairs, int32_t pair_count)
{
    AlgTblEntry e{};
    std::snprintf(e.name, sizeof e.name, "%s", name);
    e.enabled = enabled;
    e.dest_ip = inet_addr(dest);
    e.src_ip = inet_addr(src);
    e.pool_index = 3;
    for (size_t k = 0; k < pairs.size(); ++k)
        e.pairs[k] = {pairs[k].first, 0, pairs[k].second};
    e.pair_count = pair_count;
    return e;
}

TEST_F(EngineTest, AlgTableDump)
{
    const AlgTblEntry table[] = {
        alg("ftp", 1, "10.0.0.1", "192.168.1.5", {{6, 21}, {17, 2121}}, 3),
        alg("sip", 7, "0.0.0.0", "192.168.1.6", {{17, 5060}}, 1),
        alg("h323", 0, "0.0.0.0", "0.0.0.0", {}, -1),
    };
    ASSERT_EQ(natsim_set_alg_table(table, 3), 0);
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natDumpAlgTbl(), 1);
    EXPECT_EQ(out.finish(), "\nftp alg : 0, enabled\n"
                            "dest ip 10.0.0.1, src ip 192.168.1.5, pool index 3\n"
                            "protocol[0] = 6, port[0] = 21\n"
                            "protocol[1] = 17, port[1] = 2121\n"
                            "\nsip alg : 1, enabled\n"
                            "protocol[0] = 17, port[0] = 5060\n"
                            "\nh323 alg : 2, disabled\n"
                            "\n");
    for (int32_t count : {0, -4}) {
        sandbox::StdoutCapture none;
        EXPECT_EQ(Nat_DumpAlgTable(table, count), 1);
        EXPECT_EQ(none.finish(), "\n");
    }
}

TEST_F(EngineTest, NatIsEnabledReadsOnlyTheSetting)
{
    int32_t on = -1;
    const std::pair<const char *, int32_t> cases[] = {{"", 0}, {"1", 1}, {"1 ", 0}, {"0", 0}};
    for (const auto &[value, expected] : cases) {
        sandbox::set("enable_arnonat", value);
        EXPECT_EQ(agApi_NatIsEnabled(&on), 1);
        EXPECT_EQ(on, expected) << value;
    }
    EXPECT_EQ(natsim_log_size(), 0u);
}

TEST_F(EngineTest, StartUpRunsTheWholeSequence)
{
    sandbox::set("wan_ifname", "eth1");
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natInit(), 1);
    EXPECT_EQ(out.finish(), "agApi_natInit313\n\nNAT Enabled\n\n");

    ASSERT_EQ(natsim_log_size(), 7u);
    const unsigned long codes[] = {0x80046427, 0x80046426, 0x80046425, 0x80046407,
                                   0x8004641F, 0x8004641C, 0x80046400};
    for (size_t i = 0; i < 7; ++i)
        EXPECT_EQ(natsim_log_entry(i)->code, codes[i]) << i;
    EXPECT_EQ(natsim_log_entry(0)->arg, 0u);
    EXPECT_EQ(field(*natsim_log_entry(1), 0), "br0");
    EXPECT_EQ(field(*natsim_log_entry(2), 0), "eth1");
    const natsim_call &rule = *natsim_log_entry(3);
    EXPECT_EQ(rule.count, 5);
    EXPECT_EQ(field(rule, 0) + field(rule, 1) + field(rule, 2) + field(rule, 3) + field(rule, 4),
              std::string("ruleadd\0" "5050\0" "192.168.1.2\0" "5050\0" "udp", 34));
    EXPECT_EQ(rule.word[5], 0u);
    const natsim_call &dmz = *natsim_log_entry(4);
    EXPECT_EQ(field(dmz, 0) + field(dmz, 1) + field(dmz, 2),
              bytes<int32_t>(0) + bytes<int32_t>(1) + bytes<uint32_t>(inet_addr("192.168.1.200")));
    EXPECT_EQ(natsim_log_entry(5)->arg, 0u);
}

TEST_F(EngineTest, StartUpReportsEachFailingStepAndGoesOn)
{
    natsim_force_result(0x80046407, -1);
    natsim_force_result(0x8004641C, -1);
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natInit(), 1);
    EXPECT_EQ(out.finish(), "agApi_natInit313\n"
                            "[agApi_natRuleAdd]:ioctl_set_msg failed:-1\n"
                            "KERNEL_ERROR at : agApi_natInit :344 \n"
                            "[agApi_fwSpiStatusSet]:ioctl_set_msg failed:-1\n"
                            "KERNEL_ERROR at : agApi_natInit :362 \n"
                            "\nNAT Enabled\n\n");
    EXPECT_EQ(natsim_log_size(), 7u);
}

} // namespace

// NAT status and version, the ALG table dump, the NAT setting and the
// one-call start-up, against the simulated engine.
#include <arpa/inet.h>

#include "natapi/library_test.h"

namespace {

using namespace natapi_test;

TEST_F(EngineTest, StatusAndVersionShowWhatTheEngineWrote)
{
    ASSERT_EQ(natsim_set_version("zolt-nat 2.4.1"), 0);
    EXPECT_EQ(agApi_natEnable(), 1);
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natGetStatus(), 1);
    EXPECT_EQ(agApi_natVerShow(), 1);
    EXPECT_EQ(out.finish(), "\nNAT status : ON\n\n\nCurrent NAT Version : zolt-nat 2.4.1\n\n");
}

TEST_F(EngineTest, AlgTableDump)
{
    const AlgTblEntry table[] = {
        {.enabled = 1, .dest_ip = inet_addr("10.0.0.1"), .pool_index = 3, .src_ip = inet_addr("192.168.1.5"), .name = "ftp",
         .pair_count = 3, .pairs = {{6, 0, 21}, {17, 0, 2121}}},
        {.enabled = 7, .src_ip = inet_addr("192.168.1.6"), .name = "sip", .pair_count = 1, .pairs = {{6, 0, 21}}},
        {.name = "h323", .pair_count = -1, .pairs = {{6, 0, 21}}}};
    ASSERT_EQ(natsim_set_alg_table(table, 3), 0);
    EXPECT_EQ(printed(agApi_natDumpAlgTbl), "\nftp alg : 0, enabled\n"
                                            "dest ip 10.0.0.1, src ip 192.168.1.5, pool index 3\n"
                                            "protocol[0] = 6, port[0] = 21\n"
                                            "protocol[1] = 17, port[1] = 2121\n"
                                            "\nsip alg : 1, enabled\n"
                                            "protocol[0] = 6, port[0] = 21\n"
                                            "\nh323 alg : 2, disabled\n"
                                            "\n");
    for (int32_t count : {0, -4})
        EXPECT_EQ(printed([&] { Nat_DumpAlgTable(table, count); }), "\n");
}

TEST_F(EngineTest, NatIsEnabledReadsOnlyTheSetting)
{
    int32_t on = -1;
    for (const auto &[value, expected] : {std::pair{"", 0}, {"1", 1}, {"1 ", 0}, {"0", 0}}) {
        sandbox::set("enable_arnonat", value);
        EXPECT_EQ(agApi_NatIsEnabled(&on), 1);
        EXPECT_EQ(on, expected) << value;
    }
    EXPECT_EQ(natsim_log_size(), 0u);
}

TEST_F(EngineTest, StartUpRunsTheWholeSequence)
{
    sandbox::set("wan_ifname", "eth1");
    EXPECT_EQ(printed(agApi_natInit), "agApi_natInit313\n\nNAT Enabled\n\n");
    EXPECT_EQ(log_text(), "80046427 arg 0\n"
                          "80046426 n0 3:\"br0\"\n"
                          "80046425 n0 4:\"eth1\"\n"
                          "80046407 n5 \"ruleadd\\0\" \"5050\\0\" \"192.168.1.2\\0\" \"5050\\0\" \"udp\\0\"\n"
                          "8004641f n3 4:00000000 4:01000000 4:c0a801c8\n"
                          "8004641c arg 0\n"
                          "80046400 arg 0\n");
}

} // namespace

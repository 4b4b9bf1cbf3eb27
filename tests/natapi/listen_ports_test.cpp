// The engine's side of the listen ports: the list it returns, and the
// messages of remote access ports and port ranges.
#include "natapi/engine_test.h"

namespace {

using namespace natapi_test;

TEST_F(EngineTest, ListenPortListPrintsFirstThenSecondPort)
{
    const uint16_t first[] = {80, 443}, second[] = {80, 80};
    ASSERT_EQ(natsim_set_listen_ports(first, second, 2), 0);
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_fwListenPortList(), 1);
    EXPECT_EQ(out.finish(), "\n--- listen port list ---\n80-80, 443-80, \n");
    const natsim_call &c = only_call();
    EXPECT_EQ(c.code, 0x80046424u);
    EXPECT_EQ(c.count, 0);
    EXPECT_EQ(lengths(c, 4), (std::vector<uint32_t>{4, 0, 4, 0}));
    EXPECT_NE(c.word[0], 0u);
    EXPECT_NE(c.word[1], 0u);
    EXPECT_NE(c.word[2], 0u);
    EXPECT_EQ(c.data_len[0] + c.data_len[1] + c.data_len[2], 0u); // all three are output

    natsim_reset();
    sandbox::StdoutCapture empty;
    EXPECT_EQ(agApi_fwListenPortList(), 1);
    EXPECT_EQ(empty.finish(), "\n--- listen port list ---\n\n");
}

TEST_F(EngineTest, RemoteAccessPortValuesSitInTheFieldWords)
{
    sandbox::set("wan_ifname", "eth1");
    EXPECT_EQ(agApi_setDeviceListenPort_2(2, 8080, 1, "all", "", ""), 0);
    const natsim_call &c = *natsim_log_entry(0);
    EXPECT_EQ(c.code, 0x8004643Du);
    EXPECT_EQ(c.count, 3);
    EXPECT_EQ(lengths(c, 4), (std::vector<uint32_t>(4, 0)));
    EXPECT_EQ(c.word[0], 2u);
    EXPECT_EQ(c.word[1], 8080u);
    EXPECT_EQ(c.word[2], 1u);
    EXPECT_EQ(c.word[3], 0u);
    EXPECT_EQ(c.data_len[0] + c.data_len[1] + c.data_len[2], 0u);

    // The engine now lists the port.
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_fwListenPortList(), 1);
    EXPECT_EQ(out.finish(), "\n--- listen port list ---\n8080-8080, \n");
}

TEST_F(EngineTest, EngineStatusInTheCountWordDecidesTheFirewall)
{
    sandbox::set("wan_ifname", "eth1");
    const std::string opening = "port_idx: 2, port_num: 8080, enable: 1\n";
    struct Case {
        int result; // 0: the engine answers itself
        std::string out;
        int expected;
    };
    const Case cases[] = {
        // A refusal outweighs the status; otherwise the status wins.
        {-5, opening + "\nagApi_setDeviceListenPort_2 (5434) ret_val:-5\n", -5},
        {0, opening + "ret_val: -28, enable: 1\n", -28},
        {5, opening + "ret_val: -28, enable: 1\n", -28},
    };
    for (const Case &c : cases) {
        natsim_reset();
        natsim_force_result(0x8004643D, c.result);
        natsim_force_count_status(0x8004643D, -28);
        sandbox::StdoutCapture out;
        EXPECT_EQ(agApi_setDeviceListenPort_2(2, 8080, 1, "all", "", ""), c.expected) << c.result;
        EXPECT_EQ(out.finish(), c.out) << c.result;
        EXPECT_TRUE(sandbox::calls().empty()) << c.result;
    }
    // Closing still closes.
    EXPECT_EQ(agApi_setDeviceListenPort_2(2, 8080, 0, "all", "1.2.3.4", "1.2.3.9"), -28);
    EXPECT_EQ(sandbox::calls().size(), 4u);
}

TEST_F(EngineTest, ListenPortRangeValuesAtTheirAddresses)
{
    EXPECT_EQ(agApi_setDeviceListenPortRange(5000, 5010, 1), 0);
    const natsim_call &c = only_call();
    EXPECT_EQ(c.code, 0x4004646Au);
    EXPECT_EQ(c.count, 3);
    EXPECT_EQ(lengths(c, 4), (std::vector<uint32_t>(4, 0)));
    EXPECT_EQ(field(c, 0) + field(c, 1) + field(c, 2), bytes(5000) + bytes(5010) + bytes(1));

    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_fwListenPortList(), 1);
    EXPECT_EQ(out.finish(), "\n--- listen port list ---\n5010-5000, \n");

    // A range the engine cannot take comes back as its status, whatever the
    // command's result.
    for (int result : {0, 5, -5}) {
        natsim_force_result(0x4004646A, result);
        if (result)
            natsim_force_count_status(0x4004646A, -22);
        sandbox::StdoutCapture refused;
        EXPECT_EQ(agApi_setDeviceListenPortRange(5010, 5000, 1), -22) << result;
        EXPECT_EQ(refused.finish(), "agApi_setDeviceListenPortRange5496 : errorno = -22\n");
    }
}

} // namespace

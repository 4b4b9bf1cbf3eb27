// The engine's side of the listen ports: the list it returns, and the
// status it leaves in the count word for remote access ports and ranges.
#include "natapi/library_test.h"

namespace {

using namespace natapi_test;

TEST_F(EngineTest, ListenPortListPrintsFirstThenSecondPort)
{
    const uint16_t first[] = {80, 443}, second[] = {80, 80};
    ASSERT_EQ(natsim_set_listen_ports(first, second, 2), 0);
    EXPECT_EQ(printed(agApi_fwListenPortList), "\n--- listen port list ---\n80-80, 443-80, \n");
}

TEST_F(EngineTest, EngineStatusInTheCountWordDecidesTheFirewall)
{
    sandbox::set("wan_ifname", "eth1");
    const std::string opening = "port_idx: 2, port_num: 8080, enable: 1\n";
    // A refusal outweighs the status; otherwise the status wins.
    const struct {
        int result; // 0: the engine answers itself
        std::string out;
    } cases[] = {{-5, opening + "\nagApi_setDeviceListenPort_2 (5434) ret_val:-5\n"},
                 {0, opening + "ret_val: -28, enable: 1\n"},
                 {5, opening + "ret_val: -28, enable: 1\n"}};
    for (const auto &c : cases) {
        natsim_reset();
        natsim_force_result(0x8004643D, c.result);
        natsim_force_count_status(0x8004643D, -28);
        sandbox::StdoutCapture out;
        EXPECT_EQ(agApi_setDeviceListenPort_2(2, 8080, 1, "all", "", ""), c.result < 0 ? -5 : -28);
        EXPECT_EQ(out.finish(), c.out) << c.result;
        EXPECT_TRUE(sandbox::calls().empty()) << c.result;
    }
    // Closing still closes.
    EXPECT_EQ(agApi_setDeviceListenPort_2(2, 8080, 0, "all", "1.2.3.4", "1.2.3.9"), -28);
    EXPECT_EQ(sandbox::calls().size(), 4u);
}

TEST_F(EngineTest, ListenPortRangeTheEngineCannotTakeGivesItsStatus)
{
    // Whatever the command's result.
    for (int result : {0, 5, -5}) {
        natsim_reset();
        natsim_force_result(0x4004646A, result);
        natsim_force_count_status(0x4004646A, -22);
        sandbox::StdoutCapture refused;
        EXPECT_EQ(agApi_setDeviceListenPortRange(5010, 5000, 1), -22) << result;
        EXPECT_EQ(refused.finish(), "agApi_setDeviceListenPortRange5496 : errorno = -22\n");
    }
}

} // namespace

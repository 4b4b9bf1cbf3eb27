// Every function's answer and messages when the control device is missing
// and when the engine refuses its command, against the simulator.
#include "natapi/engine_test.h"
#include "natapi/function_table.h"

namespace {

using namespace natapi_test;
using arnonat::natapi::code;
using arnonat::natapi::Device;
using arnonat::natapi::row;

const char *device_of(Command c)
{
    return row(c).device == Device::Nat ? AGAPI_NAT_DEVICE : AGAPI_IPV6_DEVICE;
}

TEST_F(EngineTest, MissingDeviceSendsNothingAndGivesTheClassAnswer)
{
    natsim_set_device(AGAPI_NAT_DEVICE, 0);
    natsim_set_device(AGAPI_IPV6_DEVICE, 0);
    for (const Function &f : functions()) {
        sandbox::StdoutCapture out;
        int result = f.call();
        Outcome expected = when_absent(f);
        EXPECT_EQ(out.finish(), expected.out) << f.name;
        EXPECT_EQ(result, expected.result) << f.name;
    }
    EXPECT_EQ(natsim_log_size(), 0u);
}

TEST_F(EngineTest, RefusedCommandGivesTheClassAnswerAndRunsNothing)
{
    for (const Function &f : functions()) {
        natsim_reset();
        natsim_force_result(code(f.command), -5);
        sandbox::StdoutCapture out;
        int result = f.call();
        Outcome expected = when_refused(f, -5);
        EXPECT_EQ(out.finish(), expected.out) << f.name;
        EXPECT_EQ(result, expected.result) << f.name;
        const natsim_call &c = only_call();
        EXPECT_EQ(c.code, code(f.command)) << f.name;
        EXPECT_STREQ(c.device, device_of(f.command)) << f.name;
    }
    // A refused remote access port leaves the firewall alone.
    EXPECT_EQ(sandbox::calls().size(), 0u);
}

TEST_F(EngineTest, ForcedResultIsLiftedByZero)
{
    natsim_force_result(0x8004641C, -7);
    EXPECT_EQ(agApi_natSetWanLanConflictFlag(1), 1);
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_fwSpiStatusSet(1), -1);
    EXPECT_EQ(out.finish(), "[agApi_fwSpiStatusSet]:ioctl_set_msg failed:-7\n");
    natsim_force_result(0x8004641C, 0);
    EXPECT_EQ(agApi_fwSpiStatusSet(1), 1);
}

} // namespace

// The library on the kernel's devices: a missing device, and a device that
// opens and refuses every ioctl (/dev/null bound over its path).
#include "natapi/function_table.h"
#include "support/sandbox.h"

namespace {

using namespace natapi_test;

class KernelDevice : public sandbox::Test {};

TEST_F(KernelDevice, MissingDeviceGivesTheClassAnswer)
{
    sandbox::private_dev();
    for (const Function &f : functions()) {
        sandbox::StdoutCapture out;
        int result = f.call();
        Outcome expected = when_absent(f);
        EXPECT_EQ(out.finish(), expected.out) << f.name;
        EXPECT_EQ(result, expected.result) << f.name;
    }
}

TEST_F(KernelDevice, RefusingDeviceGivesTheClassAnswerAndClosesOnce)
{
    sandbox::private_dev({AGAPI_NAT_DEVICE, AGAPI_IPV6_DEVICE});
    sandbox::set("wan_ifname", "eth1");
    int before = sandbox::open_descriptors();
    for (const Function &f : functions()) {
        sandbox::StdoutCapture out;
        int result = f.call();
        Outcome expected = when_refused(f, -1);
        EXPECT_EQ(out.finish(), expected.out) << f.name;
        EXPECT_EQ(result, expected.result) << f.name;
    }
    EXPECT_EQ(sandbox::open_descriptors(), before);
    EXPECT_TRUE(sandbox::calls().empty());
}

TEST_F(KernelDevice, ListenPortRulesNeedTheEnginesList)
{
    sandbox::private_dev({AGAPI_NAT_DEVICE});
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateListenPortRules("/tmp/rules"), 0);
    EXPECT_EQ(out.finish(), "[agApi_fwListenPortList2]:ioctl_set_msg failed:-1\n");
    EXPECT_EQ(sandbox::read_file("/tmp/rules"), "");
}

} // namespace

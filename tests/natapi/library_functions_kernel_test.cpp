// The library on the kernel's devices: missing, and a device that opens and
// refuses every ioctl (/dev/null bound over its path).
#include "natapi/library_test.h"

namespace {

using namespace natapi_test;

class KernelDevice : public sandbox::Test {};

const std::vector<std::string> kRefusing = {AGAPI_NAT_DEVICE, AGAPI_IPV6_DEVICE};

TEST_F(KernelDevice, EachFunctionAnswersAndClosesWhatItOpened)
{
    for (int refused : {0, -1}) {
        sandbox::private_dev(refused ? kRefusing : std::vector<std::string>{});
        int before = sandbox::open_descriptors();
        for (const Function &f : functions())
            EXPECT_EQ(run(f.call), failure(f, refused)) << f.name;
        EXPECT_EQ(sandbox::open_descriptors(), before);
    }
    EXPECT_EQ(sandbox::calls(), std::vector<std::string>{});
}

TEST_F(KernelDevice, StartUpTellsEachStepThatFailed)
{
    const std::string none = kNat, user = "USER_ERROR at : agApi_natInit :", kernel = "KERNEL_ERROR at : agApi_natInit :";
    sandbox::private_dev();
    EXPECT_EQ(run(agApi_natInit), (Outcome{"agApi_natInit313\n" + none + none + none + none + user + "344 \n" + none + user +
                                               "356 \n" + none + user + "362 \n" + none + user + "380 \n",
                                           0}));
    sandbox::private_dev(kRefusing);
    EXPECT_EQ(run(agApi_natInit),
              (Outcome{"agApi_natInit313\n[agApi_natUnhook]:ioctl_set_msg failed:-1\n[agApi_natLanHook]:ioctl_set_msg failed:-1\n"
                       "[agApi_natHook]:ioctl_set_msg failed:-1\n[agApi_natRuleAdd]:ioctl_set_msg failed:-1\n" + kernel +
                           "344 \n[agApi_fwDMZRuleSet]:ioctl_set_msg failed:-1\n" + kernel +
                           "356 \n[agApi_fwSpiStatusSet]:ioctl_set_msg failed:-1\n" + kernel +
                           "362 \n[agApi_natEnable]:ioctl_set_msg failed:-1\n" + kernel + "380 \n",
                       -1}));
}

TEST_F(KernelDevice, RecoveryGoesOnPastEachFailedEntry)
{
    const std::string refused = "[agApi_natAddConnTblEntry]:ioctl_set_msg failed:-1\n";
    sandbox::socket_list("   1: 0100007F:1F90 0100007F:9C41 01\n   2: 0100007F:1F90 0100007F:9C42 01\n");
    sandbox::private_dev();
    EXPECT_EQ(run(zoltNat_DoConnRecovery), (Outcome{kNat + std::string(kNat), 0}));
    sandbox::private_dev(kRefusing);
    EXPECT_EQ(run(zoltNat_DoConnRecovery), (Outcome{refused + refused, 0}));
}

} // namespace

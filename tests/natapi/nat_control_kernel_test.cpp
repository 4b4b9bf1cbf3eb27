// Start-up and the at-once forwarding rule on the kernel's devices: a missing
// device, and one that opens and refuses every command.
#include <string>
#include <vector>

#include "agapi.h"
#include "support/sandbox.h"

namespace {

class NatKernel : public sandbox::Test {};

TEST_F(NatKernel, StartUpWithTheDeviceMissing)
{
    sandbox::private_dev();
    const std::string none = "Can't open device file: /dev/zolt_nat_cli\n";
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natInit(), 0);
    EXPECT_EQ(out.finish(), "agApi_natInit313\n" + none + none + none + none +
                                "USER_ERROR at : agApi_natInit :344 \n" + none +
                                "USER_ERROR at : agApi_natInit :356 \n" + none +
                                "USER_ERROR at : agApi_natInit :362 \n" + none +
                                "USER_ERROR at : agApi_natInit :380 \n");
}

TEST_F(NatKernel, StartUpWithARefusingDevice)
{
    sandbox::private_dev({AGAPI_NAT_DEVICE});
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natInit(), -1);
    EXPECT_EQ(out.finish(), "agApi_natInit313\n"
                            "[agApi_natUnhook]:ioctl_set_msg failed:-1\n"
                            "[agApi_natLanHook]:ioctl_set_msg failed:-1\n"
                            "[agApi_natHook]:ioctl_set_msg failed:-1\n"
                            "[agApi_natRuleAdd]:ioctl_set_msg failed:-1\n"
                            "KERNEL_ERROR at : agApi_natInit :344 \n"
                            "[agApi_fwDMZRuleSet]:ioctl_set_msg failed:-1\n"
                            "KERNEL_ERROR at : agApi_natInit :356 \n"
                            "[agApi_fwSpiStatusSet]:ioctl_set_msg failed:-1\n"
                            "KERNEL_ERROR at : agApi_natInit :362 \n"
                            "[agApi_natEnable]:ioctl_set_msg failed:-1\n"
                            "KERNEL_ERROR at : agApi_natInit :380 \n");
}

TEST_F(NatKernel, ForwardingRuleIsNotAppliedWithoutTheDevice)
{
    std::string w[] = {"ruleadd", "22", "22", "192.168.1.9", "22", "udp"};
    char *argv[] = {w[0].data(), w[1].data(), w[2].data(), w[3].data(), w[4].data(), w[5].data()};
    sandbox::private_dev();
    EXPECT_EQ(agApi_natRuleAdd2(6, argv), 0);
    EXPECT_TRUE(sandbox::calls().empty());
    EXPECT_FALSE(sandbox::exists("/tmp/custom-service-rules"));
}

TEST_F(NatKernel, ForwardingRuleIsAppliedWhateverTheEngineSaid)
{
    sandbox::set("wan_ifname", "eth0");
    sandbox::set("lan_ifname", "br0");
    sandbox::set("wan_ipaddr", "0.0.0.0");
    std::string w[] = {"ruleadd", "22", "22", "192.168.1.9", "22", "udp"};
    char *argv[] = {w[0].data(), w[1].data(), w[2].data(), w[3].data(), w[4].data(), w[5].data()};

    // The refusing device opens: the rule goes in, the answer is the count.
    sandbox::private_dev({AGAPI_NAT_DEVICE});
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natRuleAdd2(6, argv), 6);
    EXPECT_EQ(out.finish(), "");
    EXPECT_EQ(sandbox::calls(),
              (std::vector<std::string>{
                  "iptables -t nat -A PORTFORWARD_NAT_CHAIN -i eth0 -p udp --dport 22 -j DNAT --to-destination 192.168.1.9",
                  "iptables -t nat -A POSTROUTING -o br0 -p udp --dport 22 -j LOG --log-prefix REMOTE_ACCESS --log-level 5",
                  "iptables -A PORTFORWARD_FORWARD_IN_CHAIN -i eth0 ! -o eth0 -d 192.168.1.9 -p udp --dport 22 -j ACCEPT"}));
}

} // namespace

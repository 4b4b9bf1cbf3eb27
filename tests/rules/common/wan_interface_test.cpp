// WAN interface name seen by every generator.
#include <cstring>
#include <string>

#include "arnonat.h"
#include "support/sandbox.h"

namespace {

class WanInterface : public sandbox::Test {
protected:
    static std::string name()
    {
        char buffer[ARNONAT_WAN_IFNAME_SIZE];
        std::memset(buffer, 'X', sizeof buffer);
        EXPECT_EQ(arnonat_getWanInterface(buffer), 0);
        return std::string(buffer, strnlen(buffer, sizeof buffer));
    }
};

TEST_F(WanInterface, PppProtocolsUsePpp0AndOthersTheConfiguredInterface)
{
    sandbox::set("wan_ifname", "eth1");
    for (const char *proto : {"pppoe", "pptp", "l2tp"}) {
        sandbox::set("wan_proto", proto);
        EXPECT_EQ(name(), "ppp0") << proto;
    }
    for (const char *proto : {"dhcp", "static", "PPPOE", ""}) {
        sandbox::set("wan_proto", proto);
        EXPECT_EQ(name(), "eth1") << proto;
    }
}

TEST_F(WanInterface, NameIsCutToFifteenCharactersAndUnsetIsEmpty)
{
    EXPECT_EQ(name(), "");
    sandbox::set("wan_ifname", "abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(name(), "abcdefghijklmno");
}

} // namespace

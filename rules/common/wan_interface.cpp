// The WAN interface name every generator writes for -i and -o on the WAN side.
#include "arnonat_common.h"
#include "zolt_nvram.h"

extern "C" int arnonat_getWanInterface(char *buffer)
{
    // PPP sessions always come up as ppp0, whatever interface carries them.
    if (zoltNvramConfig_match("wan_proto", "pppoe") || zoltNvramConfig_match("wan_proto", "pptp") ||
        zoltNvramConfig_match("wan_proto", "l2tp")) {
        const char ppp[] = "ppp0";
        for (unsigned i = 0; i < sizeof ppp; ++i)
            buffer[i] = ppp[i];
        return 0;
    }
    zoltNvramConfig_read("wan_ifname", buffer, ARNONAT_WAN_IFNAME_SIZE);
    return 0;
}

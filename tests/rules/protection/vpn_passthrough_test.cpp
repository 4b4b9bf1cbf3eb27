// VPN passthrough: VPN_CHAIN refilled with one ACCEPT or DROP line per
// protocol, each with its message.
#include <unistd.h>

#include <string>

#include "arnonat.h"
#include "zolt_nvram.h"
#include "support/sandbox.h"

namespace {

const std::string kSetup =
    "iptables -t filter -N VPN_CHAIN\n"
    "iptables -F VPN_CHAIN\n"
    "iptables -I FORWARD 1 -j VPN_CHAIN\n";

std::string line(const std::string &match, bool on)
{
    return "iptables  -A  VPN_CHAIN   " + match + (on ? "  -j ACCEPT\n" : "  -j DROP\n");
}

std::string message(const std::string &what, bool on)
{
    return (on ? "Enabling " : "Disabling ") + what + " passthrough\n";
}

class VpnPassthrough : public sandbox::Test {};

TEST_F(VpnPassthrough, OnlyZeroSwitchesAProtocolFamilyOff)
{
    struct Case {
        const char *l2tp, *pptp, *ipsec;
        bool l2tp_on, pptp_on, ipsec_on;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, true, true, true},
        {"1", "0", "yes", true, false, true},
        {"0", "1", "0", false, true, false},
        {"", " 0", "00", true, true, true},
    };
    for (const Case &c : cases) {
        const char *keys[] = {"l2tp_passthrough", "pptp_passthrough", "ipsec_passthrough"};
        const char *values[] = {c.l2tp, c.pptp, c.ipsec};
        for (int k = 0; k < 3; ++k)
            values[k] ? sandbox::set(keys[k], values[k]) : (void)zoltNvramConfig_unset(keys[k]);
        ::unlink("/tmp/vpn");

        sandbox::StdoutCapture out;
        EXPECT_EQ(ARNONAT_GenerateVPNRules("/tmp/vpn"), 0);
        // GRE ("-p 47") is the one line with a single blank before -j.
        std::string gre = "iptables  -A  VPN_CHAIN   -p 47 -j " + std::string(c.pptp_on ? "ACCEPT\n" : "DROP\n");
        EXPECT_EQ(sandbox::read_file("/tmp/vpn"),
                  kSetup + line("-p udp --dport 1701", c.l2tp_on) + line("-p tcp --dport 1723", c.pptp_on) + gre +
                      line("-p udp --dport 500 --sport 500", c.ipsec_on) + line("-p 50", c.ipsec_on) +
                      line("-p 51", c.ipsec_on));
        EXPECT_EQ(out.finish(), message("L2TP control connection", c.l2tp_on) +
                                    message("PPTP control connection", c.pptp_on) +
                                    message("GRE protocol", c.pptp_on) + message("ISAKMP protocol", c.ipsec_on) +
                                    message("ESP protocol", c.ipsec_on) + message("AH protocol", c.ipsec_on));
    }
}

TEST_F(VpnPassthrough, AppendsToWhatIsThereAndReportsAnUnopenableFile)
{
    sandbox::write_file("/tmp/vpn", "earlier\n");
    ASSERT_EQ(ARNONAT_GenerateVPNRules("/tmp/vpn"), 0);
    EXPECT_EQ(sandbox::read_file("/tmp/vpn").rfind("earlier\n" + kSetup, 0), 0u);

    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateVPNRules("/tmp/no/such/folder"), -1);
    EXPECT_EQ(out.finish(), "Failed to open custom rules configuration file\n");
}

} // namespace

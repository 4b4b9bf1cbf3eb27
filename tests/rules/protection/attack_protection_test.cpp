// Attack protection: the UDP port scan lines, the rate limits in VALID_CHK
// and the simple security step that writes nothing.
#include <unistd.h>

#include <string>

#include "arnonat.h"
#include "support/sandbox.h"

namespace {

class AttackProtection : public sandbox::Test {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        sandbox::set("wan_ifname", "eth0");
    }
};

TEST_F(AttackProtection, PortScanLinesOnlyWithSpiOn)
{
    for (const char *off : {"0", "", "abc", "0x1"}) {
        sandbox::set("fw_spi_enab", off);
        ::unlink("/tmp/rules");
        sandbox::StdoutCapture out;
        EXPECT_EQ(ARNONAT_GenerateDosUDPPortScanRule("/tmp/rules"), 0);
        EXPECT_EQ(out.finish(), "") << off;
        EXPECT_EQ(sandbox::read_file("/tmp/rules"), "") << off; // opened, so created, but empty
    }
    sandbox::set("fw_spi_enab", "2");
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateDosUDPPortScanRule("/tmp/rules"), 0);
    EXPECT_EQ(out.finish(), "DMZ enabe, apply UDPPortScanRule\n");
    EXPECT_EQ(sandbox::read_file("/tmp/rules"),
              "iptables -A EXT_FORWARD_IN_CHAIN -i eth0 ! -o eth0 -s 0/0 -p udp --dport 1:65535 -m length --length 0:28  -m limit --limit 6/hour --limit-burst 1 -j LOG --log-prefix DOS_ATTACK:DoSPortScan --log-level 5 \n"
              "iptables -A EXT_FORWARD_IN_CHAIN -i eth0 ! -o eth0 -s 0/0 -p udp --dport 1:65535 -m length --length 0:28 -j DROP\n");
}

TEST_F(AttackProtection, RateLimitsAndBogusAddressesInTheirOrder)
{
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateAttackRules("/tmp/rules"), 0);
    EXPECT_EQ(out.finish(), "adding blocking network attack rules to custom rules\n");
    EXPECT_EQ(sandbox::read_file("/tmp/rules"),
              "iptables -t filter -I VALID_CHK -i eth0 -p tcp -m conntrack --ctstate NEW -m recent --name synscan --update --seconds 1 --hitcount 10 -j DROP\n"
              "iptables -t filter -I VALID_CHK -i eth0 -p tcp -m conntrack --ctstate NEW -m recent --name synscan --set\n"
              "iptables -t filter -I VALID_CHK -i eth0 -m conntrack --ctstate NEW -p udp  -m recent --name udpflood --update --seconds 1 --hitcount 60 -j DROP\n"
              "iptables -t filter -I VALID_CHK -i eth0 -m conntrack --ctstate NEW -p udp  -m recent --name udpflood --set\n"
              "iptables -t filter -I VALID_CHK -s 0.0.0.0 -j DROP\n"
              "iptables -t filter -I VALID_CHK -d 255.255.255.255 -j DROP\n"
              "iptables -I VALID_CHK -i eth0 -p tcp -m tcp --tcp-flags RST RST -m recent --name tcprst --update --seconds 1 --hitcount 2 -j DROP\n"
              "iptables -I VALID_CHK -i eth0 -p tcp -m tcp --tcp-flags RST RST -m recent --name tcprst --set\n");
}

TEST_F(AttackProtection, UnopenableFilesAndTheSilentSimpleSecurityStep)
{
    sandbox::set("fw_spi_enab", "1");
    sandbox::StdoutCapture out;
    EXPECT_EQ(ARNONAT_GenerateDosUDPPortScanRule("/tmp/no/such/folder"), -1);
    EXPECT_EQ(ARNONAT_GenerateAttackRules("/tmp/no/such/folder"), -1);
    EXPECT_EQ(ARNONAT_GenerateSSCRules("/tmp/no/such/folder"), 0);
    EXPECT_EQ(ARNONAT_GenerateSSCRules("/tmp/ssc"), 0);
    EXPECT_EQ(out.finish(), "Failed to open custom rules configuration file\n"
                            "Failed to open custom rules configuration file\n");
    EXPECT_FALSE(sandbox::exists("/tmp/ssc"));
}

TEST_F(AttackProtection, LongestQuotedWanNameStillGivesWholeLines)
{
    // 15 quotes: each becomes '\'' in the shell word.
    sandbox::set("wan_ifname", std::string(15, '\''));
    sandbox::set("fw_spi_enab", "1");
    EXPECT_EQ(ARNONAT_GenerateDosUDPPortScanRule("/tmp/rules"), 0);
    sandbox::run("sh /tmp/rules");
    std::string wan(15, '\''); // the word as the shell handed it over
    EXPECT_EQ(sandbox::calls(),
              (std::vector<std::string>{
                  "iptables -A EXT_FORWARD_IN_CHAIN -i " + wan + " ! -o " + wan + " -s 0/0 -p udp --dport 1:65535 -m length --length 0:28 -m limit --limit 6/hour --limit-burst 1 -j LOG --log-prefix DOS_ATTACK:DoSPortScan --log-level 5",
                  "iptables -A EXT_FORWARD_IN_CHAIN -i " + wan + " ! -o " + wan + " -s 0/0 -p udp --dport 1:65535 -m length --length 0:28 -j DROP"}));
}

} // namespace

// Blocks of the base configuration file.
#include <cstdio>
#include <string>

#include "arnonat.h"
#include "support/sandbox.h"

namespace {

std::string block(int (*write)(FILE *))
{
    FILE *f = std::tmpfile();
    write(f);
    std::rewind(f);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(f);
    return text;
}

class BaseConfig : public sandbox::Test {};

TEST_F(BaseConfig, NatBlockWithoutDmzHoldsTwoEmptyValues)
{
    EXPECT_EQ(block(ARNONAT_GenerateNatConfig), "DMZ_TCP=\"\\\n\"\nDMZ_UDP=\"\\\n\"\n");
    sandbox::set("router_mode", "1");
    sandbox::set("fw_dmz_enab", "0");
    sandbox::set("dmz_ipaddr", "192.168.1.5");
    EXPECT_EQ(block(ARNONAT_GenerateNatConfig), "DMZ_TCP=\"\\\n\"\nDMZ_UDP=\"\\\n\"\n");
}

TEST_F(BaseConfig, NatBlockWithDmzCarriesThePortListsOfTheWorkedExample)
{
    sandbox::set("fw_dmz_enab", "1");
    sandbox::set("dmz_ipaddr", "192.168.1.5");
    sandbox::set("http_rmport", "8080");
    EXPECT_EQ(block(ARNONAT_GenerateNatConfig),
              "DMZ_TCP=\"\\\n"
              " 1-21,23-8079,8081-65535>192.168.1.5\\\n"
              "\"\n"
              "DMZ_UDP=\"\\\n"
              " 1-67,69-160,162-55001,55003-65535>192.168.1.5\\\n"
              "\"\n");
}

TEST_F(BaseConfig, RouterModeZeroIsNatOffWhateverTheDmz)
{
    sandbox::set("router_mode", "0");
    sandbox::set("fw_dmz_enab", "1");
    sandbox::set("dmz_ipaddr", "192.168.1.5");
    EXPECT_EQ(block(ARNONAT_GenerateNatConfig), "NAT=0\n");
}

std::string lan_block(const std::string &address, const std::string &mask, const std::string &ifname)
{
    sandbox::set("lan_ipaddr", address);
    sandbox::set("lan_netmask", mask);
    sandbox::set("lan_ifname", ifname);
    return block(ARNONAT_GenerateLanConfig);
}

std::string lan_expected(const std::string &network, const std::string &ifname)
{
    return "INT_IF=\"" + ifname + "\"\nINTERNAL_NET=\"" + network + " \"\nNAT_INTERNAL_NET=\"" + network +
           " \"\nIF_TRUSTS=\"" + ifname + "\"\n";
}

TEST_F(BaseConfig, LanBlockNetworkAndPrefixOnBothSidesOfTheEdges)
{
    struct Case {
        const char *address, *mask, *network;
    };
    const Case cases[] = {
        {"192.168.1.1", "255.255.255.0", "192.168.1.0/24"},
        {"192.168.1.1", "255.255.255.255", "192.168.1.1/32"},
        {"192.168.1.1", "255.255.255.254", "192.168.1.0/31"},
        {"192.168.1.1", "0.0.0.0", "0.0.0.0/0"},
        {"192.168.1.1", "128.0.0.0", "128.0.0.0/1"},
        {"10.1.2.3", "255.255.0.0", "10.1.0.0/16"},
        {"10.1.2.3", "255.0.255.0", "10.0.2.0/24"},   // holes count as if there were none
        {"10.1.2.3", "not a mask", "10.1.2.3/32"},    // unparsable: all ones
    };
    for (const Case &c : cases)
        EXPECT_EQ(lan_block(c.address, c.mask, "br0"), lan_expected(c.network, "br0")) << c.mask;
}

TEST_F(BaseConfig, LanInterfaceNameCannotEndTheQuotedValue)
{
    EXPECT_EQ(lan_block("192.168.1.1", "255.255.255.0", "br0\"; reboot; \"$(x)`y`\\"),
              lan_expected("192.168.1.0/24", "br0\\\"; reboot; \\\"\\$(x)\\`y\\`\\\\"));
}

TEST_F(BaseConfig, LanInterfaceNameWithBlanksIsWrittenWithANotice)
{
    for (const std::string name : {"br0 eth1", "br0\teth1"}) {
        sandbox::StdoutCapture out;
        EXPECT_EQ(lan_block("192.168.1.1", "255.255.255.0", name), lan_expected("192.168.1.0/24", name));
        EXPECT_EQ(out.finish(),
                  "LAN block: lan_ifname '" + name + "' holds blanks; the firewall reads it as several interfaces\n");
    }
    sandbox::StdoutCapture out;
    lan_block("192.168.1.1", "255.255.255.0", "br0");
    EXPECT_EQ(out.finish(), "");
}

TEST_F(BaseConfig, IcmpBlockOpensIcmpBothWays)
{
    EXPECT_EQ(block(ARNONAT_GenerateFirewallConfig), "LAN_INET_OPEN_ICMP=1\nOPEN_ICMP=1\n");
}

} // namespace

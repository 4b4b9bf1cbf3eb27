// DMZ port lists: the free ports between the router's own services and the
// port forwarding entries.
#include <cstdio>
#include <cstring>
#include <string>

#include "arnonat.h"
#include "support/sandbox.h"

namespace {

class DmzPorts : public sandbox::Test {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        std::memset(&g_iPolicyRecord, 0, sizeof g_iPolicyRecord);
        sandbox::set("dmz_ipaddr", "192.168.1.5");
    }

    static std::string text(int protocol)
    {
        FILE *f = std::tmpfile();
        ARNONAT_ConfigureDmzPorts(f, protocol);
        std::rewind(f);
        std::string s;
        for (int c; (c = std::fgetc(f)) != EOF;)
            s += static_cast<char>(c);
        std::fclose(f);
        return s;
    }

    static std::string tcp() { return text(ARNONAT_PROTO_TCP); }
    static std::string udp() { return text(ARNONAT_PROTO_UDP); }
};

const std::string kEnd = ">192.168.1.5\\\n";

TEST_F(DmzPorts, RemoteManagementPortOnBothSidesOfItsLimits)
{
    struct Case {
        const char *port, *list;
    };
    const Case cases[] = {
        {"8080", " 1-21,23-8079,8081-65535"}, {"0", " 1-21,23-65535"},
        {"65535", " 1-21,23-65535"},          {"65534", " 1-21,23-65533,65535-65535"},
        {"1", " 2-21,23-65535"},              {"22", " 1-21,23-65535"},
        {"23", " 1-21,24-65535"},             {"", " 1-21,23-65535"},
    };
    for (const Case &c : cases) {
        sandbox::set("http_rmport", c.port);
        EXPECT_EQ(tcp(), c.list + kEnd) << c.port;
    }
    EXPECT_EQ(udp(), " 1-67,69-160,162-55001,55003-65535" + kEnd);
}

TEST_F(DmzPorts, UsbPortsAreExcludedOnlyWhenEnabled)
{
    sandbox::set("usb_wan_ftp_port", "21");
    sandbox::set("usb_wan_http_port", "8000");
    EXPECT_EQ(tcp(), " 1-21,23-65535" + kEnd);
    sandbox::set("usb_wan_ftp_enable", "1");
    sandbox::set("usb_wan_http_enable", "1");
    EXPECT_EQ(tcp(), " 1-20,23-7999,8001-65535" + kEnd);
}

TEST_F(DmzPorts, ForwardingEntriesCloseTheirPortsForBothProtocols)
{
    sandbox::set("inbound_record", "2@1;1;10;1;10;7@2;11;20;11;20;7");
    EXPECT_EQ(tcp(), " 21-21,23-65535" + kEnd);
    EXPECT_EQ(udp(), " 21-67,69-160,162-55001,55003-65535" + kEnd);

    sandbox::set("inbound_record", "1@1;60000;65535;60000;65535;8");
    EXPECT_EQ(tcp(), " 1-21,23-59999" + kEnd);

    sandbox::set("inbound_record", "1@1;1;65535;1;65535;9");
    EXPECT_EQ(tcp(), kEnd);
    EXPECT_EQ(udp(), kEnd);
}

TEST_F(DmzPorts, OverlappingAndEnclosedRangesMerge)
{
    sandbox::set("inbound_record", "4@1;100;200;1;1;7@2;150;160;1;1;7@3;190;300;1;1;7@4;50;99;1;1;7");
    EXPECT_EQ(tcp(), " 1-21,23-49,301-65535" + kEnd);
    sandbox::set("inbound_record", "3@1;30;40;1;1;7@2;10;12;1;1;7@3;5;35;1;1;7");
    EXPECT_EQ(tcp(), " 1-4,41-65535" + kEnd); // 5-35 joins 10-12, 22 and 30-40
}

TEST_F(DmzPorts, BackwardsEntryAcrossAnExcludedRangeStopsTheMerge)
{
    sandbox::set("inbound_record", "3@1;100;100;1;1;7@2;22;21;1;1;7@3;500;500;1;1;7");
    sandbox::StdoutCapture out;
    EXPECT_EQ(tcp(), " 1-21,23-99,101-65535" + kEnd);
    EXPECT_EQ(out.finish(), "ERROR building DMZ ports\n");
}

TEST_F(DmzPorts, EntriesWithoutAPortRangeAreSkippedWithANotice)
{
    // A count above the records leaves entry 2 zero; 400-300 runs backwards
    // outside every excluded range; 70000 is no port.
    sandbox::set("inbound_record", "4@1;400;300;1;1;7@2;1000;70000;1;1;7@3;80;80;80;80;7");
    sandbox::StdoutCapture out;
    EXPECT_EQ(tcp(), " 1-21,23-79,81-65535" + kEnd);
    EXPECT_EQ(out.finish(),
              "DMZ ports: forwarding entry 1 has no valid port range (400-300), skipped\n"
              "DMZ ports: forwarding entry 2 has no valid port range (1000-70000), skipped\n"
              "DMZ ports: forwarding entry 4 has no valid port range (0-0), skipped\n");
}

TEST_F(DmzPorts, AFullListDropsItsLastRangeAndTheGapUpTo65535)
{
    std::string value = "40";
    for (int k = 0; k < 40; ++k) // 1000, 990, ..., 610: none touches another
        value += "@" + std::to_string(k) + ";" + std::to_string(1000 - 10 * k) + ";" +
                 std::to_string(1000 - 10 * k) + ";1;1;8";
    sandbox::set("inbound_record", value);
    std::string expected = " 1-67,69-160,162-609";
    for (int port = 610; port <= 900; port += 10)
        expected += "," + std::to_string(port + 1) + "-" + std::to_string(port + 9);
    // UDP: 68, 161 and 55002 first; the 40 entries arrive from the top down,
    // so each insertion at the front pushes the highest range out.
    EXPECT_EQ(udp(), expected + kEnd);
}

TEST_F(DmzPorts, InvalidHostWritesNothingAndAnyValidOneIsWrittenParsed)
{
    for (const char *host : {"", "192.168.1", "1.2.3.4; reboot", "$(reboot)", "256.1.1.1"}) {
        sandbox::set("dmz_ipaddr", host);
        EXPECT_EQ(tcp(), "") << host;
    }
    sandbox::set("dmz_ipaddr", "0.0.0.0");
    EXPECT_EQ(tcp(), " 1-21,23-65535>0.0.0.0\\\n");
}

} // namespace

// The engine's service, filter, block-service and trigger tables: printed
// layouts byte for byte, lookups, and the table reads into the caller's
// buffers.
#include "natapi/library_test.h"
#include "sim/engine.h"

namespace {

using namespace natapi_test;

TEST_F(EngineTest, ServicesListedAndLookedUp)
{
    const FwServiceRecord services[] = {{"FTP", 6, 0, 20, 21},  {"FTP_zZz", 17, 0, 20, 21}, {"GRE", 47, 0, 0, 0},
                                        {"http", 6, 0, 80, 80}, {"HTTP", 6, 0, 80, 80},     {"WEB", 6, 0, 80, 80},
                                        {"HTTP", 17, 0, 80, 80}};
    for (const FwServiceRecord &r : services)
        printed([&] { agApi_fwServiceAdd(r.sName, r.bProtocol, r.usStartPort, r.usEndPort); });
    EXPECT_EQ(printed(agApi_fwServiceList), "\n[service 0] name: 'FTP', protocol: 0x06, port 20-21\n"
                                            "[service 1] name: 'FTP_zZz', protocol: 0x11, port 20-21\n"
                                            "[service 2] name: 'GRE', protocol: 0x2F, port 0-0\n"
                                            "[service 3] name: 'http', protocol: 0x06, port 80-80\n"
                                            "[service 4] name: 'HTTP', protocol: 0x06, port 80-80\n"
                                            "[service 5] name: 'WEB', protocol: 0x06, port 80-80\n"
                                            "[service 6] name: 'HTTP', protocol: 0x11, port 80-80\n\n");
    // By name: the first exact name.
    FwServiceRecord out{"untouched"};
    EXPECT_EQ(agApi_fwGetServiceByName("HTT", &out), -1);
    EXPECT_STREQ(out.sName, "untouched");
    EXPECT_EQ(agApi_fwGetServiceByName("http", &out), 3);
    EXPECT_EQ(agApi_fwGetServiceByName("HTTP", &out), 4);
    EXPECT_EQ(out.bProtocol, 6);
    EXPECT_EQ(agApi_fwGetServiceByName_Session2("HTTP", &out), -1);
    // By protocol and ports: the last match stays in OUT.
    EXPECT_EQ(agApi_fwGetServiceName(80, 80, 6, &out), 1);
    EXPECT_STREQ(out.sName, "WEB");
    EXPECT_EQ(agApi_fwGetServiceName(80, 81, 6, &out), 0);
    EXPECT_STREQ(out.sName, "WEB");
    // All of them into the caller's array.
    std::vector<FwServiceRecord> array(AGAPI_SERVICES_MAX);
    natsim_log_clear();
    EXPECT_EQ(agApi_fwGetAllServices(array.data(), 128), 7);
    EXPECT_STREQ(array[1].sName, "FTP_zZz");
    EXPECT_EQ(only_call().word[0], reinterpret_cast<uintptr_t>(array.data()));
    EXPECT_EQ(agApi_fwGetAllServices_Session2(array.data(), 128), 0);
}

constexpr uint32_t ip(unsigned a, unsigned b, unsigned c, unsigned d)
{
    return a << 24 | b << 16 | c << 8 | d;
}

const std::string kRuleLine(70, '-');

const FwFilterRecord kAddressRule = {.bRuleType = 2, .usIndex = 7, .bDirection = 0x01, .ulSrcIp1 = ip(192, 168, 1, 10),
                                     .ulSrcIp2 = ip(192, 168, 1, 20), .usSrcPortLow = 1024, .usSrcPortHigh = 65535,
                                     .ulDstIp1 = ip(10, 0, 0, 0), .ulDstIp2 = ip(255, 0, 0, 0), .usDstPortLow = 80,
                                     .usDstPortHigh = 88, .bProtocol = 6,
                                     .bFlags = AGAPI_FILTER_SOURCE | AGAPI_FILTER_SOURCE_RANGE | AGAPI_FILTER_ON_MATCH,
                                     .bMatchAction = 1, .bEnable = 1};
// Service index 12.
const FwFilterRecord kServiceRule = {.usScheduleIndex = 3, .usIndex = 8, .bDirection = 0x82, .usDstPortLow = 12,
                                     .usDstPortHigh = 99, .bProtocol = 17,
                                     .bFlags = AGAPI_FILTER_SERVICE | AGAPI_FILTER_DEST_RANGE,
                                     .bScheduleFlags = AGAPI_FILTER_SCHEDULED};

TEST_F(EngineTest, FilterDumpPrintsTheRecordsOfTheMask)
{
    FwFilterRecord records[3] = {kAddressRule, kServiceRule, kAddressRule};
    records[2].bDirection = 0; // never listed
    EXPECT_EQ(printed([&] { EXPECT_EQ(DumpIpFilterRule(255, records, 3), 0); }),
              "index 7, rule type 2, source 192.168.1.10/192.168.1.20(RANGE):1024-65535, "
              "dest 10.0.0.0/255.0.0.0(MASK):80-88, protocol 0x06, dir 0x01, match: ALLOW, not match: N/A, "
              "enable: Y\n" + kRuleLine + "\n"
              "index 8, rule type 0, schedule index 3, source 0.0.0.0/0.0.0.0(MASK):0-0, "
              "dest 0.0.0.0/0.0.0.0(RANGE):0-0, service index 12, dir 0x82, match: N/A, not match: DROP, "
              "enable: N\n" + kRuleLine + "\n"
              "total 2 rule(s)\n");
    std::string masked = printed([&] {
        DumpIpFilterRule(0x02, records, 3);
        DumpIpFilterRule(0x40, records, 3);
        DumpIpFilterRule(255, records, 0);
        DumpIpFilterRule(255, nullptr, 3);
    });
    EXPECT_EQ(masked.substr(masked.find("total")),
              "total 1 rule(s)\ntotal 0 rule(s)\ntotal 0 rule(s)\ntotal 0 rule(s)\n");
}

TEST_F(EngineTest, BlockServiceDumpShowsSourcesAndSchedules)
{
    FwBlkServRecord records[3] = {
        {1, 4, 0, 1, 0, 0, 0},
        {0, 5, 2, 0, ip(192, 168, 1, 10), ip(192, 168, 1, 20), 0},
        {1, 6, 0, 0, ip(192, 168, 1, 0), 0, ip(255, 255, 255, 0)},
    };
    EXPECT_EQ(printed([&] { EXPECT_EQ(dumpBlockServList(3, records), 0); dumpBlockServList(0, records); }),
              "[0] service index: 4, enabled, src IP: All IP, schedule index: N/A\n"
              "[1] service index: 5, disabled, src IP: 192.168.1.10-192.168.1.20, schedule index: 2\n"
              "[2] service index: 6, enabled, src IP: 192.168.1.0/255.255.255.0, schedule index: N/A\n");
}

TEST_F(EngineTest, ListingsAndReadsTakeTheEnginesCount)
{
    FwFilterRecord a = kAddressRule, b = kServiceRule;
    FwBlkServRecord block{1, 4, 0, 1, 0, 0, 0};
    EXPECT_EQ(agApi_fwFilterAdd(&a, 0), 0);
    EXPECT_EQ(agApi_fwFilterAdd(&b, 0), 1);
    EXPECT_EQ(agApi_fwFilterAdd_Session2(&b, 0), 0);
    EXPECT_EQ(agApi_fwBlkServAdd(&block), 1);
    std::string text = printed([] { agApi_fwFilterList(); agApi_fwBlkServList(); });
    EXPECT_EQ(text.rfind("index 7, rule type 2, ", 0), 0u);
    EXPECT_NE(text.find("total 2 rule(s)\n[0] service index: 4, enabled, src IP: All IP"), std::string::npos);

    EXPECT_EQ(agApi_fwGetFilterTable(nullptr), 2);
    FwFilterRecord out[AGAPI_FILTERS_MAX] = {};
    EXPECT_EQ(agApi_fwGetFilterTable(out), 2);
    EXPECT_EQ(out[1].usIndex, 8);
    EXPECT_EQ(agApi_fwGetFilterTable_Session2(out), 1);
}

FwTriggerConf conf(const char *name, unsigned char fill)
{
    FwTriggerConf c = filled<FwTriggerConf>(fill);
    std::strncpy(c.sName, name, sizeof c.sName); // the rest of the name NULs
    return c;
}

TEST_F(EngineTest, TriggerConfsAreReadInPlaceAndWalkedThroughTheEnginesCopies)
{
    const FwTriggerConf web = conf("web", 0x11), game = conf("game", 0x22), confs[] = {web, game};
    ASSERT_EQ(natsim::set_trigger_confs(confs, 2), 0);
    FwTriggerConf record = conf("game", 0), unknown = conf("ftp", 0x33);
    EXPECT_EQ(agApi_fwGetTriggerConf(&record), 0);
    EXPECT_EQ(only_call().word[0], reinterpret_cast<uintptr_t>(&record));
    EXPECT_EQ(bytes(record), bytes(game));
    // A configuration the engine does not know, and the end of the walk,
    // leave the record as it was.
    EXPECT_EQ(agApi_fwGetTriggerConf(&unknown), -1);
    EXPECT_EQ(bytes(unknown), bytes(conf("ftp", 0x33)));
    EXPECT_EQ(agApi_fwGetFirstTriggerConf(&record), 0);
    EXPECT_EQ(bytes(record), bytes(web));
    EXPECT_EQ(agApi_fwGetNextTriggerConf(&record), 0);
    EXPECT_EQ(bytes(record), bytes(game));
    EXPECT_EQ(agApi_fwGetNextTriggerConf(&record), -1);
    EXPECT_EQ(bytes(record), bytes(game));
}

} // namespace

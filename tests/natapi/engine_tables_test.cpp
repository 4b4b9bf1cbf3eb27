// What the library prints and hands out of the engine's state, byte for
// byte: NAT status, version and ALG table, the start-up, the NAT rule table
// and its walk, the service, filter, block-service and trigger tables.
#include <arpa/inet.h>

#include "natapi/library_test.h"
#include "sim/engine.h"

namespace {

using namespace natapi_test;

TEST_F(EngineTest, StatusVersionAlgTableAndTheNatSetting)
{
    ASSERT_EQ(natsim_set_version("zolt-nat 2.4.1"), 0);
    EXPECT_EQ(agApi_natEnable(), 1);
    EXPECT_EQ(printed([] { EXPECT_EQ(agApi_natGetStatus() + agApi_natVerShow(), 2); }),
              "\nNAT status : ON\n\n\nCurrent NAT Version : zolt-nat 2.4.1\n\n");
    const AlgTblEntry table[] = {
        {.enabled = 1, .dest_ip = inet_addr("10.0.0.1"), .pool_index = 3, .src_ip = inet_addr("192.168.1.5"), .name = "ftp",
         .pair_count = 3, .pairs = {{6, 0, 21}, {17, 0, 2121}}},
        {.enabled = 7, .src_ip = inet_addr("192.168.1.6"), .name = "sip", .pair_count = 1, .pairs = {{6, 0, 21}}},
        {.name = "h323", .pair_count = -1, .pairs = {{6, 0, 21}}}};
    ASSERT_EQ(natsim_set_alg_table(table, 3), 0);
    EXPECT_EQ(printed(agApi_natDumpAlgTbl), "\nftp alg : 0, enabled\n"
                                            "dest ip 10.0.0.1, src ip 192.168.1.5, pool index 3\n"
                                            "protocol[0] = 6, port[0] = 21\n"
                                            "protocol[1] = 17, port[1] = 2121\n"
                                            "\nsip alg : 1, enabled\n"
                                            "protocol[0] = 6, port[0] = 21\n"
                                            "\nh323 alg : 2, disabled\n"
                                            "\n");
    EXPECT_EQ(printed([&] { Nat_DumpAlgTable(table, 0), Nat_DumpAlgTable(table, -4); }), "\n\n");
    // The NAT setting is read from the settings alone.
    natsim_log_clear();
    int32_t on = -1;
    for (const auto &[value, expected] : {std::pair{"", 0}, {"1", 1}, {"1 ", 0}, {"0", 0}}) {
        sandbox::set("enable_arnonat", value);
        EXPECT_EQ(agApi_NatIsEnabled(&on), 1);
        EXPECT_EQ(on, expected) << value;
    }
    EXPECT_EQ(natsim_log_size(), 0u);
}

TEST_F(EngineTest, StartUpRunsTheWholeSequence)
{
    sandbox::set("wan_ifname", "eth1");
    EXPECT_EQ(printed(agApi_natInit), "agApi_natInit313\n\nNAT Enabled\n\n");
    EXPECT_EQ(log_text(), "80046427 arg 0\n"
                          "80046426 n0 3:\"br0\"\n"
                          "80046425 n0 4:\"eth1\"\n"
                          "80046407 n5 \"ruleadd\\0\" \"5050\\0\" \"192.168.1.2\\0\" \"5050\\0\" \"udp\\0\"\n"
                          "8004641f n3 4:00000000 4:01000000 4:c0a801c8\n"
                          "8004641c arg 0\n"
                          "80046400 arg 0\n");
}

// ---- NAT rules -------------------------------------------------------------

NatRuleRecord rule(int32_t id, uint8_t flags_a = 0x20, uint8_t flags_b = 0x10) { return {.id = id, .flags_a = flags_a, .flags_b = flags_b}; }

// Type 1, nat 2, UDP, once.
const NatRuleRecord kPortForward = {.id = 3, .wif = 1, .lif = 2, .lan_ip = inet_addr("192.168.1.10"),
                                    .lan_mask = inet_addr("255.255.255.0"), .fport1 = htons(8080), .fport2 = htons(8080),
                                    .s_port = htons(80), .time = 100, .timeout = 300, .flags_a = 0x21, .flags_b = 0x51,
                                    .add_from = 4};
// Type 0, resv 3, nat 1, prot 15, confl.
const NatRuleRecord kOther = {.id = 9, .wan_ip = inet_addr("203.0.113.7"), .lan_ip = inet_addr("192.168.1.20"),
                              .fport1 = htons(7000), .fport2 = htons(7010), .s_port = htons(6000),
                              .ForeignIp = inet_addr("198.51.100.1"), .flags_a = 0x1c, .flags_b = 0x3f};

void load(std::vector<NatRuleRecord> table, std::vector<int32_t> windows)
{
    ASSERT_EQ(natsim_set_nat_table(table.data(), static_cast<int>(table.size()), windows.data()), 0);
}

TEST_F(EngineTest, RuleDumpShowsTheWindowsInUseWithTheEnginesTime)
{
    load({kPortForward, rule(4, 0x20, 0x00), kOther}, {0, 2, 2, 1, 0, 0});
    EXPECT_EQ(printed(agApi_natDumpRuleTbl),
              "\nCurrent time: 86400\n" + kRuleTableHeader +
                  "  3   1   2         0.0.0.0    192.168.1.10   255.255.255.0   8080   8080     80     100      300     1   2  UDP    1    0     0         0.0.0.0        4\n" +
                  kDashes +
                  "  9   0   0     203.0.113.7    192.168.1.20         0.0.0.0   7000   7010   6000       0        0     0   1  ALL    0    3     1    198.51.100.1        0\n" +
                  kDashes + "Total 2 rules.\n\n");
    // The listing shows only port forwarding rules.
    EXPECT_EQ(printed(agApi_natRuleGet),
              "\nID: 3, wan Ip: 0.0.0.0, wan port: 8080, lan Ip: 192.168.1.10, lan port: 80\n\n");
    // A lookup copies the first rule in use with the ID out.
    load({rule(5, 0x20, 0x00), kPortForward, rule(5)}, {0, 3, 0, 0, 0, 0});
    const NatRuleRecord *found = agApi_zoltGetNatRuleByID(3);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(bytes(*found), bytes(kPortForward));
    found = agApi_zoltGetNatRuleByID(5);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->flags_b, 0x10); // the free rule 5 before it does not count
    EXPECT_EQ(agApi_zoltGetNatRuleByID(77), nullptr);
}

TEST(NatRuleWalk, WindowsTouchOverlapSkipAndStayInsideTheTable)
{
    static NatRuleRecord table[AGAPI_NAT_RULES_MAX];
    for (int i = 0; i < AGAPI_NAT_RULES_MAX; ++i)
        table[i] = rule(i);
    table[12].flags_b = 0x0f; // every bit but in-use
    auto span = [](int from, int to, std::vector<int> v = {}) {
        for (int i = from; i < to; ++i)
            v.push_back(i);
        return v;
    };
    const struct {
        std::vector<int32_t> w;
        int32_t cursor;
        std::vector<int> ids;
    } cases[] = {
        {{0, 10, 10, 10, 100, 180}, -1, span(100, 280, span(13, 20, span(0, 12)))},
        {{0, 10, 10, 10, 100, 180}, 7, span(100, 280, span(13, 20, span(8, 12)))},
        {{0, 6, 3, 6, 4, 2}, -1, span(0, 9)},      // overlaps walked once
        {{50, 3, 10, 5, 52, 4}, -1, span(50, 56)}, // a window below the cursor is skipped
        {{270, 100, -5, 7, 2147483000, 2000}, -1, span(270, 280)},
        {{-5, 7, 0, -3, 0, 0}, -1, span(0, 2)},
        {{0, 2, 0, 0, 0, 0}, 2147483647, {}},
        {{0, 0, 0, 0, 0, 0}, -1, {}},
    };
    for (const auto &c : cases) {
        std::vector<int> seen;
        int32_t cursor = c.cursor;
        while (const NatRuleRecord *r =
                   EnumerateNatRule(&cursor, table, c.w[0], c.w[1], c.w[2], c.w[3], c.w[4], c.w[5])) {
            EXPECT_EQ(r, &table[cursor]);
            seen.push_back(r->id);
        }
        EXPECT_EQ(seen, c.ids) << c.w[0] << "," << c.w[1] << " cursor " << c.cursor;
        EXPECT_EQ(cursor, c.ids.empty() ? c.cursor : c.ids.back()); // unchanged once none is left
    }
}

// ---- Services, filters, block services, trigger configurations -------------

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
}

constexpr uint32_t ip(unsigned a, unsigned b, unsigned c, unsigned d) { return a << 24 | b << 16 | c << 8 | d; }

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

TEST_F(EngineTest, FilterAndBlockServiceDumpsOfTheMaskAndTheEnginesCount)
{
    const std::string line(70, '-');
    FwFilterRecord records[3] = {kAddressRule, kServiceRule, kAddressRule};
    records[2].bDirection = 0; // never listed
    EXPECT_EQ(run([&] { return DumpIpFilterRule(255, records, 3); }),
              (Outcome{"index 7, rule type 2, source 192.168.1.10/192.168.1.20(RANGE):1024-65535, "
                       "dest 10.0.0.0/255.0.0.0(MASK):80-88, protocol 0x06, dir 0x01, match: ALLOW, not match: N/A, "
                       "enable: Y\n" + line + "\n"
                       "index 8, rule type 0, schedule index 3, source 0.0.0.0/0.0.0.0(MASK):0-0, "
                       "dest 0.0.0.0/0.0.0.0(RANGE):0-0, service index 12, dir 0x82, match: N/A, not match: DROP, "
                       "enable: N\n" + line + "\n"
                       "total 2 rule(s)\n", 0}));
    std::string masked = printed([&] {
        DumpIpFilterRule(0x02, records, 3), DumpIpFilterRule(0x40, records, 3);
        DumpIpFilterRule(255, records, 0), DumpIpFilterRule(255, nullptr, 3);
    });
    EXPECT_EQ(masked.substr(masked.find("total")), "total 1 rule(s)\ntotal 0 rule(s)\ntotal 0 rule(s)\ntotal 0 rule(s)\n");
    FwBlkServRecord blocks[3] = {
        {1, 4, 0, 1, 0, 0, 0},
        {0, 5, 2, 0, ip(192, 168, 1, 10), ip(192, 168, 1, 20), 0},
        {1, 6, 0, 0, ip(192, 168, 1, 0), 0, ip(255, 255, 255, 0)},
    };
    EXPECT_EQ(printed([&] { EXPECT_EQ(dumpBlockServList(3, blocks), 0), dumpBlockServList(0, blocks); }),
              "[0] service index: 4, enabled, src IP: All IP, schedule index: N/A\n"
              "[1] service index: 5, disabled, src IP: 192.168.1.10-192.168.1.20, schedule index: 2\n"
              "[2] service index: 6, enabled, src IP: 192.168.1.0/255.255.255.0, schedule index: N/A\n");
    // The listings take the engine's count.
    FwFilterRecord a = kAddressRule, b = kServiceRule;
    EXPECT_EQ(agApi_fwFilterAdd(&a, 0), 0);
    EXPECT_EQ(agApi_fwFilterAdd(&b, 0), 1);
    EXPECT_EQ(agApi_fwFilterAdd_Session2(&b, 0), 0);
    EXPECT_EQ(agApi_fwBlkServAdd(&blocks[0]), 1);
    std::string text = printed([] { agApi_fwFilterList(), agApi_fwBlkServList(); });
    EXPECT_EQ(text.rfind("index 7, rule type 2, ", 0), 0u);
    EXPECT_NE(text.find("total 2 rule(s)\n[0] service index: 4, enabled, src IP: All IP"), std::string::npos);
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

// The filter and block-service tables: the printed layouts, byte for byte,
// the messages the engine receives and the table reads.
#include "natapi/engine_test.h"

namespace {

using namespace natapi_test;

constexpr uint32_t ip(unsigned a, unsigned b, unsigned c, unsigned d)
{
    return a << 24 | b << 16 | c << 8 | d;
}

const std::string kRuleLine(70, '-');

FwFilterRecord address_rule()
{
    FwFilterRecord r{};
    r.bRuleType = 2;
    r.usIndex = 7;
    r.bDirection = 0x01;
    r.ulSrcIp1 = ip(192, 168, 1, 10);
    r.ulSrcIp2 = ip(192, 168, 1, 20);
    r.usSrcPortLow = 1024;
    r.usSrcPortHigh = 65535;
    r.ulDstIp1 = ip(10, 0, 0, 0);
    r.ulDstIp2 = ip(255, 0, 0, 0);
    r.usDstPortLow = 80;
    r.usDstPortHigh = 88;
    r.bProtocol = 6;
    r.bFlags = AGAPI_FILTER_SOURCE | AGAPI_FILTER_SOURCE_RANGE | AGAPI_FILTER_ON_MATCH;
    r.bMatchAction = 1;
    r.bEnable = 1;
    return r;
}

FwFilterRecord service_rule()
{
    FwFilterRecord r{};
    r.usIndex = 8;
    r.bDirection = 0x82;
    r.usScheduleIndex = 3;
    r.bScheduleFlags = AGAPI_FILTER_SCHEDULED;
    r.usDstPortLow = 12; // service index
    r.usDstPortHigh = 99;
    r.bProtocol = 17;
    r.bFlags = AGAPI_FILTER_SERVICE | AGAPI_FILTER_DEST_RANGE;
    return r;
}

TEST_F(EngineTest, FilterDumpPrintsTheRecordsOfTheMask)
{
    FwFilterRecord records[3] = {address_rule(), service_rule(), address_rule()};
    records[2].bDirection = 0; // never listed
    sandbox::StdoutCapture out;
    EXPECT_EQ(DumpIpFilterRule(255, records, 3), 0);
    EXPECT_EQ(out.finish(),
              "index 7, rule type 2, source 192.168.1.10/192.168.1.20(RANGE):1024-65535, "
              "dest 10.0.0.0/255.0.0.0(MASK):80-88, protocol 0x06, dir 0x01, match: ALLOW, not match: N/A, "
              "enable: Y\n" + kRuleLine + "\n"
              "index 8, rule type 0, schedule index 3, source 0.0.0.0/0.0.0.0(MASK):0-0, "
              "dest 0.0.0.0/0.0.0.0(RANGE):0-0, service index 12, dir 0x82, match: N/A, not match: DROP, "
              "enable: N\n" + kRuleLine + "\n"
              "total 2 rule(s)\n");

    sandbox::StdoutCapture masked;
    DumpIpFilterRule(0x02, records, 3);
    DumpIpFilterRule(0x40, records, 3);
    DumpIpFilterRule(255, records, 0);
    DumpIpFilterRule(255, nullptr, 3);
    std::string text = masked.finish();
    EXPECT_EQ(text.substr(text.find("total")), "total 1 rule(s)\ntotal 0 rule(s)\ntotal 0 rule(s)\ntotal 0 rule(s)\n");
}

TEST_F(EngineTest, BlockServiceDumpShowsSourcesAndSchedules)
{
    FwBlkServRecord records[3] = {
        {1, 4, 0, 1, 0, 0, 0},
        {0, 5, 2, 0, ip(192, 168, 1, 10), ip(192, 168, 1, 20), 0},
        {1, 6, 0, 0, ip(192, 168, 1, 0), 0, ip(255, 255, 255, 0)},
    };
    sandbox::StdoutCapture out;
    EXPECT_EQ(dumpBlockServList(3, records), 0);
    dumpBlockServList(0, records);
    EXPECT_EQ(out.finish(), "[0] service index: 4, enabled, src IP: All IP, schedule index: N/A\n"
                            "[1] service index: 5, disabled, src IP: 192.168.1.10-192.168.1.20, schedule index: 2\n"
                            "[2] service index: 6, enabled, src IP: 192.168.1.0/255.255.255.0, schedule index: N/A\n");
}

TEST_F(EngineTest, ListingsReadTheTablesThroughTwoFields)
{
    {
        sandbox::StdoutCapture out;
        EXPECT_EQ(agApi_fwFilterList(), 1);
        EXPECT_EQ(agApi_fwBlkServList(), 1);
        EXPECT_EQ(out.finish(), "total 0 rule(s)\n");
    }
    const natsim_call &c = *natsim_log_entry(0);
    EXPECT_EQ(c.code, 0x8004640Fu);
    EXPECT_EQ(c.count, 2);
    EXPECT_EQ(lengths(c, 3), (std::vector<uint32_t>{4, 4, 0}));

    FwFilterRecord rule = address_rule();
    EXPECT_EQ(agApi_fwFilterAdd(&rule, 1), 0);
    FwBlkServRecord block{1, 4, 0, 1, 0, 0, 0};
    EXPECT_EQ(agApi_fwBlkServAdd(&block), 1);
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_fwFilterList(), 1);
    EXPECT_EQ(agApi_fwBlkServList(), 1);
    std::string text = out.finish();
    EXPECT_EQ(text.rfind("index 7, rule type 2, ", 0), 0u);
    EXPECT_NE(text.find("total 1 rule(s)\n[0] service index: 4, enabled, src IP: All IP"), std::string::npos);
}

TEST_F(EngineTest, FilterTableIsCountedThenCopied)
{
    EXPECT_EQ(agApi_fwGetFilterTable(nullptr), 0);
    FwFilterRecord a = address_rule(), b = service_rule();
    EXPECT_EQ(agApi_fwFilterAdd(&a, 0), 0);
    EXPECT_EQ(agApi_fwFilterAdd(&b, 0), 1);
    EXPECT_EQ(agApi_fwFilterAdd_Session2(&b, 0), 0);
    EXPECT_EQ(agApi_fwGetFilterTable(nullptr), 2);
    FwFilterRecord out[AGAPI_FILTERS_MAX] = {};
    EXPECT_EQ(agApi_fwGetFilterTable(out), 2);
    EXPECT_EQ(out[1].usIndex, 8);
    EXPECT_EQ(agApi_fwGetFilterTable_Session2(out), 1);

}

TEST_F(EngineTest, FilterChangesCarryTheirFieldsInArgumentOrder)
{
    FwFilterRecord a = address_rule(), b = service_rule();
    EXPECT_EQ(agApi_fwFilterAdd(&a, 5), 0);
    const natsim_call &add = only_call();
    EXPECT_EQ(lengths(add, 2), (std::vector<uint32_t>{56, 4}));
    EXPECT_EQ(field(add, 1), bytes<int32_t>(5));

    natsim_log_clear();
    EXPECT_EQ(agApi_fwFilterInsert(&b, 0), 0);
    EXPECT_EQ(lengths(only_call(), 2), (std::vector<uint32_t>{4, 56}));
    natsim_log_clear();
    EXPECT_EQ(agApi_fwFilterMod(1, &b), 1);
    EXPECT_EQ(field(only_call(), 0), bytes<int32_t>(1));
    natsim_log_clear();
    FwFilterRecord got{};
    EXPECT_EQ(agApi_fwFilterGet(0, &got), 0);
    EXPECT_EQ(got.usIndex, 8);
    EXPECT_EQ(lengths(only_call(), 2), (std::vector<uint32_t>{56, 4}));
    EXPECT_EQ(field(only_call(), 1), bytes<int32_t>(0));

    natsim_log_clear();
    EXPECT_EQ(agApi_fwFilterSche(1, 1, 9), 1);
    const natsim_call &sche = only_call();
    EXPECT_EQ(sche.count, 2);
    EXPECT_EQ(lengths(sche, 3), (std::vector<uint32_t>{4, 4, 2}));
    EXPECT_EQ(field(sche, 2), bytes<uint16_t>(9));
    EXPECT_EQ(agApi_fwFilterMove(1, 0), 1);
    EXPECT_EQ(agApi_fwFilterGet(0, &got), 0);
    EXPECT_EQ(got.usScheduleIndex, 9);

    int counter = -1;
    EXPECT_EQ(agApi_getFltrRuleCnt(&counter), 1);
    EXPECT_EQ(counter, 2);
    natsim_log_clear();
    EXPECT_EQ(agApi_getFltrRuleCnt(nullptr), 0);
    EXPECT_EQ(natsim_log_size(), 0u);

    EXPECT_EQ(agApi_fwFilterDel(0), 1);
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_fwFilterDel(5), -1);
    EXPECT_EQ(out.finish(), "[agApi_fwFilterDel]:ioctl_set_msg failed:-1\n");
}

TEST_F(EngineTest, BlockServiceEntriesAndTheirIndexField)
{
    FwBlkServRecord a{1, 4, 0, 1, 0, 0, 0}, b{1, 9, 3, 0, ip(10, 0, 0, 1), 0, ip(255, 255, 255, 255)};
    EXPECT_EQ(agApi_fwBlkServAdd(&a), 1);
    EXPECT_EQ(agApi_fwBlkServAdd(&b), 1);
    EXPECT_EQ(agApi_fwBlkServGetCnt(), 2);
    natsim_log_clear();
    FwBlkServRecord out{};
    EXPECT_EQ(agApi_fwBlkServGet(1, &out), 0);
    EXPECT_EQ(out.usServiceIndex, 9);
    EXPECT_EQ(lengths(only_call(), 2), (std::vector<uint32_t>{24, 4}));
    EXPECT_EQ(field(only_call(), 1), bytes<uint16_t>(1) + std::string("\x02\x00", 2));

    natsim_log_clear();
    EXPECT_EQ(agApi_fwBlkServMod(0, &b), 1);
    EXPECT_EQ(lengths(only_call(), 2), (std::vector<uint32_t>{2, 24}));
    natsim_log_clear();
    EXPECT_EQ(agApi_fwBlkServMode(1, 2, 3), 1);
    EXPECT_EQ(only_call().count, 3);
    EXPECT_EQ(field(only_call(), 2), bytes<uint16_t>(3));
    EXPECT_EQ(agApi_fwBlkServDel(0), 1);
    EXPECT_EQ(agApi_fwBlkServGetCnt(), 1);

    // The second session keeps entries of its own.
    EXPECT_EQ(agApi_fwBlkServAdd_Session2(&a), 1);
    EXPECT_EQ(agApi_fwBlkServGetCnt_Session2(), 1);
}

} // namespace

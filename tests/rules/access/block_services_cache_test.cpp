// The block-service cache against the engine simulator: built once per
// process on the first scheduled generation, with the engine's
// block-services action, the user services as definitions and the
// service-based filter rules filed by service and source.
#include <cstring>
#include <string>
#include <vector>

#include "arnonat.h"
#include "natapi/engine_test.h"
#include "rules/access/block_service_cache.h"

namespace {

using namespace arnonat::access;

constexpr uint32_t kHost = 0xC0A80105;       // 192.168.1.5
constexpr uint32_t kFirst = 0xC0A8010A;      // 192.168.1.10
constexpr uint32_t kLast = 0xC0A80114;       // 192.168.1.20
constexpr unsigned long kAction = 0x80046440;
constexpr unsigned long kAction2 = 0x8004648D;

struct Rule {
    std::string service;
    int kind;
    uint32_t address1, address2;
    int filter, twin_present, twin_filter;
    bool operator==(const Rule &) const = default;
};

std::ostream &operator<<(std::ostream &os, const Rule &r)
{
    return os << r.service << " kind " << r.kind << " " << r.address1 << "-" << r.address2 << " filter "
              << r.filter << " twin " << r.twin_present << "/" << r.twin_filter;
}

std::vector<Rule> rules(int session)
{
    std::vector<Rule> out;
    for (const CachedRule *r = block_service_session(session).head; r; r = r->next)
        out.push_back({r->service->name, r->source_kind, r->address1, r->address2, r->filter_id, r->twin_present,
                       r->twin_filter_id});
    return out;
}

std::vector<std::string> definitions(int session)
{
    std::vector<std::string> out;
    for (const CachedService &d : block_service_session(session).services)
        if (d.in_use)
            out.push_back(std::string(d.name) + " " + std::to_string(d.protocol_type) + " " +
                          std::to_string(d.start_port) + "-" + std::to_string(d.end_port) + " " +
                          std::to_string(d.engine_index) + "/" + std::to_string(d.twin_engine_index));
    return out;
}

const CachedService &builtin(int session, const char *name)
{
    for (const CachedService &d : block_service_session(session).builtins)
        if (std::strcmp(d.name, name) == 0)
            return d;
    static CachedService none{};
    return none;
}

FwFilterRecord by_service(uint16_t service, uint16_t id, uint8_t flags = 0, uint32_t a1 = 0, uint32_t a2 = 0)
{
    FwFilterRecord f{};
    f.usDstPortLow = service;
    f.usIndex = id;
    f.bFlags = static_cast<uint8_t>(AGAPI_FILTER_SERVICE | flags);
    f.ulSrcIp1 = a1;
    f.ulSrcIp2 = a2;
    f.bDirection = 1;
    return f;
}

size_t sent(unsigned long code, uintptr_t *arg = nullptr)
{
    size_t n = 0;
    for (size_t i = 0; i < natsim_log_size(); ++i)
        if (natsim_log_entry(i)->code == code) {
            ++n;
            if (arg)
                *arg = natsim_log_entry(i)->arg;
        }
    return n;
}

class BlockServiceCache : public natapi_test::EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        forget_block_service_cache();
        sandbox::set_date("Sun Dec  6 09:53:50 UTC 2026", "Sun Dec  6 09:53:50 UTC 2026");
        sandbox::set("fw_bks_block_type", "1");
        sandbox::set("fw_bks_block_service", "1;1;FTP;1;20;21;0;0@");
        sandbox::set("time_zone", "0");
        sandbox::set("schedule_config", "65:8:0:17:30");
    }
    void TearDown() override
    {
        arnonat_g_isJpMultiWanCgi = 0;
        arnonat_g_FilterIdHead2 = 0;
        std::memset(arnonat_g_FilterRecord2, 0, sizeof arnonat_g_FilterRecord2);
        forget_block_service_cache();
    }

    static void services(int session, std::initializer_list<std::pair<const char *, uint8_t>> list)
    {
        sandbox::StdoutCapture out;
        for (const auto &[name, protocol] : list)
            ASSERT_GE(session == 1 ? agApi_fwServiceAdd(name, protocol, 1, 2)
                                   : agApi_fwServiceAdd_Session2(name, protocol, 1, 2),
                      0);
        out.finish();
    }
    static void filters(int session, std::initializer_list<FwFilterRecord> list)
    {
        for (FwFilterRecord f : list)
            ASSERT_GE(session == 1 ? agApi_fwFilterAdd(&f, 0) : agApi_fwFilterAdd_Session2(&f, 0), 0);
    }
    static std::string generate()
    {
        natsim_log_clear();
        sandbox::StdoutCapture out;
        EXPECT_EQ(ARNONAT_GenerateBlockServicesRules("/tmp/rules"), 0);
        return out.finish();
    }
};

TEST_F(BlockServiceCache, BuiltOnceFromTheEnginesServicesAndFilters)
{
    services(1, {{"FTP", 6}, {"Game", 6}, {"Game_zZz", 17}, {"Chat", 17}, {"ICMP", 1}, {"DNS", 6},
                 {"DNS_zZz", 17}, {"dmz_x", 6}, {"GRE", 47}});
    filters(1, {by_service(1, 100, AGAPI_FILTER_SOURCE, kHost), by_service(2, 101, AGAPI_FILTER_SOURCE, kHost),
                by_service(6, 103, AGAPI_FILTER_SOURCE | AGAPI_FILTER_SOURCE_RANGE, kFirst, kLast),
                by_service(5, 102, AGAPI_FILTER_SOURCE | AGAPI_FILTER_SOURCE_RANGE, kFirst, kLast), FwFilterRecord{},
                by_service(3, 105), by_service(0, 106), by_service(4, 107), by_service(1, 108),
                by_service(1, 109, AGAPI_FILTER_SOURCE, kFirst), by_service(40, 110)});
    EXPECT_FALSE(block_service_cache_built());
    EXPECT_EQ(generate(), "");
    EXPECT_TRUE(block_service_cache_built());

    uintptr_t action = 0;
    EXPECT_EQ(sent(kAction, &action), 1u);
    EXPECT_EQ(action, 1u);
    EXPECT_EQ(sent(kAction2), 0u);
    EXPECT_EQ(definitions(0), (std::vector<std::string>{"Game 3 1-2 1/2", "Chat 2 1-2 3/-1", "GRE 0 1-2 8/-1"}));
    EXPECT_EQ(rules(0), (std::vector<Rule>{{"Game", kSourceOne, kHost, 0, 100, 1, 101},
                                           {"DNS", kSourceRange, kFirst, kLast, 102, 1, 103},
                                           {"Chat", kSourceAny, 0, 0, 105, 0, -1},
                                           {"FTP", kSourceAny, 0, 0, 106, 0, -1},
                                           {"Game", kSourceAny, 0, 0, 108, 0, -1},
                                           {"Game", kSourceOne, kFirst, 0, 109, 0, -1}}));
    EXPECT_EQ(builtin(0, "DNS").engine_index, 5);
    EXPECT_EQ(builtin(0, "DNS").twin_engine_index, 6);
    EXPECT_EQ(builtin(0, "FTP").engine_index, 0);
    EXPECT_EQ(builtin(0, "FTP").twin_engine_index, -1);
    EXPECT_EQ(builtin(0, "HTTP").engine_index, -1);
    EXPECT_EQ(builtin(0, "Real-Audio").protocol_type, kProtocolBoth);

    // Later generations keep the cache and leave the engine alone, even when
    // its tables changed; the lines come from the settings all the same.
    filters(1, {by_service(3, 111, AGAPI_FILTER_SOURCE, kHost)});
    sandbox::set("fw_bks_block_type", "1");
    EXPECT_EQ(generate(), "");
    EXPECT_EQ(sent(kAction), 0u);
    EXPECT_EQ(rules(0).size(), 6u);
    EXPECT_NE(sandbox::read_file("/tmp/rules").find("BLOCK_SERVICE:FTP"), std::string::npos);
}

TEST_F(BlockServiceCache, OnlyTheScheduledModeBuildsIt)
{
    sandbox::set("fw_bks_block_type", "2");
    generate();
    sandbox::set("fw_bks_block_type", "0");
    generate();
    EXPECT_FALSE(block_service_cache_built());
    EXPECT_EQ(natsim_log_size(), 0u);
}

TEST_F(BlockServiceCache, AFullDefinitionTableEndsTheFill)
{
    std::vector<std::string> names;
    for (int i = 0; i < 21; ++i)
        names.push_back("user" + std::to_string(i));
    sandbox::StdoutCapture quiet;
    for (const std::string &n : names)
        agApi_fwServiceAdd(n.c_str(), 6, 1, 2);
    quiet.finish();
    filters(1, {by_service(0, 1)});
    EXPECT_EQ(generate(), "Error getting service entry.\n");
    EXPECT_EQ(definitions(0).size(), 20u);
    EXPECT_EQ(sent(kAction), 0u);
    EXPECT_TRUE(rules(0).empty());
    // The rule lines are written all the same.
    EXPECT_NE(sandbox::read_file("/tmp/rules").find("BLOCK_SERVICE:FTP"), std::string::npos);
}

TEST_F(BlockServiceCache, AFullRuleTableEndsTheFill)
{
    services(1, {{"HTTP", 6}});
    for (uint32_t i = 0; i < 22; ++i)
        filters(1, {by_service(0, static_cast<uint16_t>(i), AGAPI_FILTER_SOURCE, kHost + i)});
    EXPECT_EQ(generate(), "No more rule entries\n");
    std::vector<Rule> r = rules(0);
    ASSERT_EQ(r.size(), 20u);
    EXPECT_EQ(r[19], (Rule{"HTTP", kSourceOne, kHost + 19, 0, 19, 0, -1}));
    EXPECT_EQ(sent(kAction), 1u);
}

TEST_F(BlockServiceCache, SecondSessionWhenItsHeadRecordIsInUse)
{
    arnonat_g_isJpMultiWanCgi = 1;
    arnonat_g_FilterIdHead2 = 3;
    arnonat_g_FilterRecord2[3 * 64] = 1;
    sandbox::set("pppoe2_fw_bks_block_type", "2");
    services(2, {{"Game", 17}, {"HTTP", 6}});
    filters(2, {by_service(0, 7), by_service(1, 8, AGAPI_FILTER_SOURCE, kHost)});
    EXPECT_EQ(generate(), "");
    uintptr_t action = 0;
    EXPECT_EQ(sent(kAction), 1u);
    EXPECT_EQ(sent(kAction2, &action), 1u);
    EXPECT_EQ(action, 2u);
    EXPECT_TRUE(definitions(0).empty());
    EXPECT_EQ(definitions(1), (std::vector<std::string>{"Game 2 1-2 0/-1"}));
    EXPECT_EQ(rules(1), (std::vector<Rule>{{"Game", kSourceAny, 0, 0, 7, 0, -1},
                                           {"HTTP", kSourceOne, kHost, 0, 8, 0, -1}}));
    EXPECT_EQ(builtin(1, "HTTP").engine_index, 1);
}

TEST_F(BlockServiceCache, SecondSessionHeadIndexPastItsRecordsIsNotRead)
{
    arnonat_g_isJpMultiWanCgi = 1;
    arnonat_g_FilterIdHead2 = 64;
    services(2, {{"Game", 17}});
    EXPECT_EQ(generate(), "block services: second session head index 64 is past its 64 records\n");
    EXPECT_EQ(sent(kAction2), 0u);
    EXPECT_EQ(definitions(1), (std::vector<std::string>{"Game 2 1-2 0/-1"}));

    // Without its head record in use the second session sets no action.
    forget_block_service_cache();
    arnonat_g_FilterIdHead2 = 63;
    EXPECT_EQ(generate(), "");
    EXPECT_EQ(sent(kAction2), 0u);
}

} // namespace

// The block-service cache against the engine simulator: built once per
// process on the first scheduled generation, with the engine's
// block-services action, the user services as definitions and the
// service-based filter rules filed by service and source.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "arnonat.h"
#include "agapi.h"
#include "rules/access/block_service_cache.h"
#include "support/sandbox.h"
#include "zolt_natsim.h"

namespace {

using namespace arnonat::access;
using Texts = std::vector<std::string>;

constexpr uint32_t kHost = 0xC0A80105, kFirst = 0xC0A8010A, kLast = 0xC0A80114;
constexpr unsigned long kAction = 0x80046440, kAction2 = 0x8004648D;

// "service kind address1-address2 filter twin_present/twin_filter" per rule.
Texts rules(int session)
{
    Texts out;
    for (const CachedRule *r = block_service_session(session).head; r; r = r->next)
        out.push_back(std::string(r->service->name) + " " + std::to_string(r->source_kind) + " " +
                      std::to_string(r->address1) + "-" + std::to_string(r->address2) + " " +
                      std::to_string(r->filter_id) + " " + std::to_string(r->twin_present) + "/" +
                      std::to_string(r->twin_filter_id));
    return out;
}

// "name protocol_type start-end engine_index/twin" of a definition.
std::string text(const CachedService &d)
{
    return std::string(d.name) + " " + std::to_string(d.protocol_type) + " " + std::to_string(d.start_port) + "-" +
           std::to_string(d.end_port) + " " + std::to_string(d.engine_index) + "/" +
           std::to_string(d.twin_engine_index);
}

Texts definitions(int session)
{
    Texts out;
    for (const CachedService &d : block_service_session(session).services)
        if (d.in_use)
            out.push_back(text(d));
    return out;
}

std::string builtin(int session, const char *name)
{
    for (const CachedService &d : block_service_session(session).builtins)
        if (std::strcmp(d.name, name) == 0)
            return text(d);
    return "";
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

// The arguments of the commands with CODE the engine received.
std::vector<uintptr_t> sent(unsigned long code)
{
    std::vector<uintptr_t> args;
    for (size_t i = 0; i < natsim_log_size(); ++i)
        if (natsim_log_entry(i)->code == code)
            args.push_back(natsim_log_entry(i)->arg);
    return args;
}

class BlockServiceCache : public sandbox::Test {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        natsim_reset();
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

    static void services(int session, std::initializer_list<std::pair<std::string, uint8_t>> list)
    {
        sandbox::StdoutCapture out;
        for (const auto &[n, p] : list)
            ASSERT_GE(session == 1 ? agApi_fwServiceAdd(n.c_str(), p, 1, 2) : agApi_fwServiceAdd_Session2(n.c_str(), p, 1, 2), 0);
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
        EXPECT_NE(sandbox::read_file("/tmp/rules").find("BLOCK_SERVICE:FTP"), std::string::npos);
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
    sandbox::set("fw_bks_block_type", "2"); // only the scheduled mode builds it
    EXPECT_EQ(generate(), "");
    EXPECT_FALSE(block_service_cache_built());
    sandbox::set("fw_bks_block_type", "1");
    EXPECT_EQ(generate(), "");
    EXPECT_TRUE(block_service_cache_built());
    EXPECT_EQ(sent(kAction), std::vector<uintptr_t>{1});
    EXPECT_TRUE(sent(kAction2).empty());
    EXPECT_EQ(definitions(0), (Texts{"Game 3 1-2 1/2", "Chat 2 1-2 3/-1", "GRE 0 1-2 8/-1"}));
    const std::string host = std::to_string(kHost), first = std::to_string(kFirst), last = std::to_string(kLast);
    EXPECT_EQ(rules(0), (Texts{"Game 1 " + host + "-0 100 1/101", "DNS 2 " + first + "-" + last + " 102 1/103",
                               "Chat 3 0-0 105 0/-1", "FTP 3 0-0 106 0/-1", "Game 3 0-0 108 0/-1",
                               "Game 1 " + first + "-0 109 0/-1"}));
    EXPECT_EQ(builtin(0, "DNS"), "DNS 3 53-53 5/6");
    EXPECT_EQ(builtin(0, "FTP"), "FTP 1 20-21 0/-1");
    EXPECT_EQ(builtin(0, "HTTP"), "HTTP 1 80-80 -1/-1");
    EXPECT_EQ(builtin(0, "Real-Audio"), "Real-Audio 3 6970-7170 -1/-1");

    // Later generations keep the cache and leave the engine alone.
    filters(1, {by_service(3, 111, AGAPI_FILTER_SOURCE, kHost)});
    EXPECT_EQ(generate(), "");
    EXPECT_TRUE(sent(kAction).empty());
    EXPECT_EQ(rules(0).size(), 6u);
}

TEST_F(BlockServiceCache, FullTablesEndTheFill)
{
    sandbox::StdoutCapture quiet;
    for (int i = 0; i < 21; ++i)
        agApi_fwServiceAdd(("user" + std::to_string(i)).c_str(), 6, 1, 2);
    quiet.finish();
    filters(1, {by_service(0, 1)});
    EXPECT_EQ(generate(), "Error getting service entry.\n");
    EXPECT_EQ(definitions(0).size(), 20u);
    EXPECT_TRUE(sent(kAction).empty());
    EXPECT_TRUE(rules(0).empty());

    forget_block_service_cache();
    natsim_reset();
    services(1, {{"HTTP", 6}});
    for (uint32_t i = 0; i < 22; ++i)
        filters(1, {by_service(0, static_cast<uint16_t>(i), AGAPI_FILTER_SOURCE, kHost + i)});
    EXPECT_EQ(generate(), "No more rule entries\n");
    ASSERT_EQ(rules(0).size(), 20u);
    EXPECT_EQ(rules(0)[19], "HTTP 1 " + std::to_string(kHost + 19) + "-0 19 0/-1");
    EXPECT_EQ(sent(kAction).size(), 1u);
}

TEST_F(BlockServiceCache, SecondSessionByItsHeadRecord)
{
    arnonat_g_isJpMultiWanCgi = 1;
    arnonat_g_FilterIdHead2 = 3;
    arnonat_g_FilterRecord2[3 * 64] = 1;
    sandbox::set("pppoe2_fw_bks_block_type", "2");
    services(2, {{"Game", 17}, {"HTTP", 6}});
    filters(2, {by_service(0, 7), by_service(1, 8, AGAPI_FILTER_SOURCE, kHost)});
    EXPECT_EQ(generate(), "");
    EXPECT_EQ(sent(kAction).size(), 1u);
    EXPECT_EQ(sent(kAction2), std::vector<uintptr_t>{2});
    EXPECT_TRUE(definitions(0).empty());
    EXPECT_EQ(definitions(1), Texts{"Game 2 1-2 0/-1"});
    EXPECT_EQ(rules(1), (Texts{"Game 3 0-0 7 0/-1", "HTTP 1 " + std::to_string(kHost) + "-0 8 0/-1"}));
    EXPECT_EQ(builtin(1, "HTTP"), "HTTP 1 80-80 1/-1");

    // A head index past its records is not read; without its head record in
    // use the second session sets no action.
    forget_block_service_cache();
    arnonat_g_FilterIdHead2 = 64;
    EXPECT_EQ(generate(), "block services: second session head index 64 is past its 64 records\n");
    EXPECT_TRUE(sent(kAction2).empty());
    EXPECT_EQ(definitions(1), Texts{"Game 2 1-2 0/-1"});
    forget_block_service_cache();
    arnonat_g_FilterIdHead2 = 63;
    EXPECT_EQ(generate(), "");
    EXPECT_TRUE(sent(kAction2).empty());
}

} // namespace

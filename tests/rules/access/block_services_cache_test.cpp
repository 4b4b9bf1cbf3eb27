// The block-service cache against the engine simulator: built once per
// process on the first scheduled generation, with the engine's
// block-services action, the user services as definitions and the
// service-based filter rules filed by service and source.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "agapi.h"
#include "arnonat.h"
#include "rules/access/block_service_cache.h"
#include "support/sandbox.h"
#include "zolt_natsim.h"

namespace {

using namespace arnonat::access;
constexpr unsigned long kAction = 0x80046440, kAction2 = 0x8004648D;
constexpr uint8_t kOne = AGAPI_FILTER_SOURCE, kRange = AGAPI_FILTER_SOURCE | AGAPI_FILTER_SOURCE_RANGE;

// "name protocol_type start-end engine_index/twin" of a cached service.
std::string text(const CachedService &d)
{
    return std::string(d.name) + " " + std::to_string(d.protocol_type) + " " + std::to_string(d.start_port) + "-" +
           std::to_string(d.end_port) + " " + std::to_string(d.engine_index) + "/" + std::to_string(d.twin_engine_index);
}

// The user services of SESSION, then a line per filed rule, its service
// and "source_kind address1-address2 filter twin_present/twin_filter".
std::string cache(int session)
{
    const BlockServiceSession &s = block_service_session(session);
    std::string out;
    for (const CachedService &d : s.services)
        out += d.in_use ? text(d) + "\n" : "";
    for (const CachedRule *r = s.head; r; r = r->next)
        out += text(*r->service) + ": " + std::to_string(r->source_kind) + " " + std::to_string(r->address1) + "-" +
               std::to_string(r->address2) + " " + std::to_string(r->filter_id) + " " +
               std::to_string(r->twin_present) + "/" + std::to_string(r->twin_filter_id) + "\n";
    return out;
}

class BlockServiceCache : public sandbox::Test {
protected:
    void SetUp() override
    {
        sandbox::Test::SetUp();
        natsim_reset();
        forget_block_service_cache();
        sandbox::set("fw_bks_block_type", "1");
    }
    void TearDown() override
    {
        arnonat_g_isJpMultiWanCgi = 0;
        arnonat_g_FilterIdHead2 = 0;
        std::memset(arnonat_g_FilterRecord2, 0, sizeof arnonat_g_FilterRecord2);
        forget_block_service_cache();
    }

    // Services "NAME PROTOCOL" and filters {service, id, flags, address1,
    // address2} of SESSION (1 or 2) in the engine.
    static void engine(int session, std::initializer_list<std::pair<const char *, uint8_t>> services,
                       std::initializer_list<std::vector<uint32_t>> filters)
    {
        sandbox::StdoutCapture quiet;
        for (const auto &[name, protocol] : services)
            ASSERT_GE((session == 1 ? agApi_fwServiceAdd : agApi_fwServiceAdd_Session2)(name, protocol, 1, 2), 0);
        for (const std::vector<uint32_t> &v : filters) {
            FwFilterRecord f{};
            if (!v.empty()) {
                f.usDstPortLow = static_cast<uint16_t>(v[0]);
                f.usIndex = static_cast<uint16_t>(v[1]);
                f.bFlags = static_cast<uint8_t>(AGAPI_FILTER_SERVICE | (v.size() > 2 ? v[2] : 0));
                f.ulSrcIp1 = v.size() > 3 ? v[3] : 0;
                f.ulSrcIp2 = v.size() > 4 ? v[4] : 0;
                f.bDirection = 1;
            }
            ASSERT_GE((session == 1 ? agApi_fwFilterAdd : agApi_fwFilterAdd_Session2)(&f, 0), 0);
        }
    }
    // What a generation printed, then "|" and the block-services action the
    // engine got for each session.
    static std::string generate()
    {
        natsim_log_clear();
        sandbox::StdoutCapture out;
        EXPECT_EQ(ARNONAT_GenerateBlockServicesRules("/tmp/rules"), 0);
        std::string told = out.finish();
        for (unsigned long code : {kAction, kAction2}) {
            told += "|";
            for (size_t i = 0; i < natsim_log_size(); ++i)
                if (natsim_log_entry(i)->code == code)
                    told += std::to_string(natsim_log_entry(i)->arg);
        }
        return told;
    }
};

TEST_F(BlockServiceCache, BuiltOnceFromTheEnginesServicesAndFilters)
{
    engine(1, {{"FTP", 6}, {"Game", 6}, {"Game_zZz", 17}, {"Chat", 17}, {"ICMP", 1}, {"DNS", 6}, {"DNS_zZz", 17},
               {"dmz_x", 6}, {"GRE", 47}},
           {{1, 100, kOne, 5}, {2, 101, kOne, 5}, {6, 103, kRange, 10, 20}, {5, 102, kRange, 10, 20}, {}, {3, 105},
            {0, 106}, {4, 107}, {1, 108}, {1, 109, kOne, 10}, {40, 110}, {6, 104, kRange, 10, 30}});
    sandbox::set("fw_bks_block_type", "2"); // only the scheduled mode builds it
    EXPECT_EQ(generate(), "||");
    EXPECT_FALSE(block_service_cache_built());
    sandbox::set("fw_bks_block_type", "1");
    EXPECT_EQ(generate(), "|1|");
    EXPECT_EQ(cache(0), "Game 3 1-2 1/2\nChat 2 1-2 3/-1\nGRE 0 1-2 8/-1\n"
                        "Game 3 1-2 1/2: 1 5-0 100 1/101\n"
                        "DNS 3 53-53 5/6: 2 10-20 102 1/103\n"
                        "Chat 2 1-2 3/-1: 3 0-0 105 0/-1\n"
                        "FTP 1 20-21 0/-1: 3 0-0 106 0/-1\n"
                        "Game 3 1-2 1/2: 3 0-0 108 0/-1\n"
                        "Game 3 1-2 1/2: 1 10-0 109 0/-1\n"
                        "DNS 3 53-53 5/6: 2 10-30 -1 1/104\n");
    for (const CachedService &d : block_service_session(0).builtins) // a default no rule names
        if (std::strcmp(d.name, "HTTP") == 0)
            EXPECT_EQ(text(d), "HTTP 1 80-80 -1/-1");

    // Later generations keep the cache and leave the engine alone.
    const std::string built = cache(0);
    engine(1, {}, {{3, 111, kOne, 5}});
    EXPECT_EQ(generate(), "||");
    EXPECT_EQ(cache(0), built);
}

TEST_F(BlockServiceCache, FullTablesEndTheFill)
{
    for (int i = 0; i < 21; ++i)
        engine(1, {{("user" + std::to_string(i)).c_str(), 6}}, {});
    engine(1, {}, {{0, 1}});
    EXPECT_EQ(generate(), "Error getting service entry.\n||");
    const std::string services = cache(0);
    EXPECT_EQ(std::count(services.begin(), services.end(), '\n'), 20); // and no rule

    forget_block_service_cache();
    natsim_reset();
    engine(1, {{"HTTP", 6}}, {});
    for (uint32_t i = 0; i < 22; ++i)
        engine(1, {}, {{0, i, kOne, 100 + i}});
    EXPECT_EQ(generate(), "No more rule entries\n|1|");
    const std::string rules = cache(0);
    EXPECT_EQ(std::count(rules.begin(), rules.end(), '\n'), 20);
    EXPECT_EQ(rules.substr(rules.rfind(':', rules.size() - 2)), ": 1 119-0 19 0/-1\n");
}

TEST_F(BlockServiceCache, SecondSessionByItsHeadRecord)
{
    arnonat_g_isJpMultiWanCgi = 1;
    arnonat_g_FilterIdHead2 = 3;
    arnonat_g_FilterRecord2[3 * 64] = 1;
    sandbox::set("pppoe2_fw_bks_block_type", "2");
    engine(2, {{"Game", 17}, {"HTTP", 6}}, {{0, 7}, {1, 8, kOne, 5}});
    EXPECT_EQ(generate(), "|1|2");
    EXPECT_EQ(cache(0), "");
    EXPECT_EQ(cache(1), "Game 2 1-2 0/-1\nGame 2 1-2 0/-1: 3 0-0 7 0/-1\nHTTP 1 80-80 1/-1: 1 5-0 8 0/-1\n");

    // A head index past its records is not read; without its head record in
    // use the second session sets no action.
    for (uint16_t head : {64, 63}) {
        forget_block_service_cache();
        arnonat_g_FilterIdHead2 = head;
        EXPECT_EQ(generate(), (head == 64 ? "block services: second session head index 64 is past its 64 records\n"
                                          : std::string()) + "|1|");
        EXPECT_EQ(cache(1), "Game 2 1-2 0/-1\n");
    }
}

} // namespace

// URL keywords, time schedules, QoS and platform settings: what the engine
// receives and what the engine's answers become.
#include <string>

#include "natapi/engine_test.h"

namespace {

using namespace natapi_test;

TEST_F(EngineTest, KeywordsTravelWithoutTerminatorPerSession)
{
    EXPECT_EQ(agApi_fwURLFilterAddKeyword("abc"), 0);
    const natsim_call &c = only_call();
    EXPECT_EQ(c.code, 0x80046437u);
    EXPECT_EQ(c.count, 1);
    EXPECT_EQ(c.length[0], 3u);
    EXPECT_EQ(field(c, 0), "abc");

    // The engine's answers reach the caller unchanged.
    EXPECT_EQ(agApi_fwURLFilterAddKeyword("abc"), -1);          // already there
    EXPECT_EQ(agApi_fwURLFilterDelKeyword_Session2("abc"), -1); // other session
    EXPECT_EQ(agApi_fwURLFilterAddKeyword_Session2("abc"), 0);
    EXPECT_EQ(agApi_fwURLFilterDelKeyword("abc"), 0);
    EXPECT_EQ(agApi_fwURLFilterDelKeyword("abc"), -1);
    EXPECT_EQ(agApi_fwURLFilterDelAllKeywords_Session2(), 0);
    EXPECT_EQ(agApi_fwURLFilterDelKeyword_Session2("abc"), -1);
    EXPECT_EQ(natsim_log_entry(3)->code, 0x80046474u);
}

TEST_F(EngineTest, MissingTextIsRefusedBeforeTheEngine)
{
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_fwURLFilterAddKeyword(nullptr), -1);
    EXPECT_EQ(agApi_tmschDelConf_Session2(nullptr), -1);
    EXPECT_EQ(agApi_tmschAddConf("a", nullptr, "c", "d", "e", 1, 2, 3), -1);
    EXPECT_EQ(agApi_natSetRegion(nullptr), -1);
    EXPECT_EQ(out.finish(), "[agApi_fwURLFilterAddKeyword]:no keyword given, nothing sent\n"
                            "[agApi_tmschDelConf_Session2]:no schedule name given, nothing sent\n"
                            "[agApi_tmschAddConf]:no schedule text given, nothing sent\n"
                            "[agApi_natSetRegion]:no text given, nothing sent\n");
    EXPECT_EQ(natsim_log_size(), 0u);
}

TEST_F(EngineTest, ScheduleTextIsJoinedWithColons)
{
    EXPECT_EQ(agApi_tmschAddConf("a", "b", "c", "d", "e", 5, 6, 7), 0);
    const natsim_call &c = only_call();
    EXPECT_EQ(c.code, 0x8004643Au);
    EXPECT_EQ(c.count, 4);
    EXPECT_EQ(lengths(c, 5), (std::vector<uint32_t>{9, 4, 4, 4, 0}));
    EXPECT_EQ(field(c, 0), "a:b:c:d:e");
    EXPECT_EQ(field(c, 1) + field(c, 2) + field(c, 3), bytes(5) + bytes(6) + bytes(7));

    // The engine answers a schedule's status; the twin keeps its own.
    EXPECT_EQ(agApi_tmschGetStatusByName("a"), 5);
    EXPECT_EQ(agApi_tmschGetStatusByName_Session2("a"), -1);
    EXPECT_EQ(agApi_tmschAddConf_Session2("a", "b", "c", "d", "e", 8, 0, 0), 0);
    EXPECT_EQ(agApi_tmschGetStatusByName_Session2("a"), 8);
    EXPECT_EQ(agApi_tmschDelConf("a"), 0);
    EXPECT_EQ(agApi_tmschGetStatusByName("a"), -1);
    EXPECT_EQ(natsim_log_entry(3)->code, 0x8004648Fu);
}

TEST_F(EngineTest, ScheduleTextLimitIsNinetyNineBytes)
{
    const std::string fits(91, 'x'); // 91 + 4 colons + 4 one-letter texts = 99
    EXPECT_EQ(agApi_tmschAddConf(fits.c_str(), "b", "c", "d", "e", 1, 0, 0), 0);
    EXPECT_EQ(only_call().length[0], 99u);

    natsim_log_clear();
    const std::string too_long(92, 'x');
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_tmschAddConf(too_long.c_str(), "b", "c", "d", "e", 1, 0, 0), -1);
    EXPECT_EQ(out.finish(), "[agApi_tmschAddConf]:text longer than 99 bytes refused, nothing written or run\n");
    EXPECT_EQ(natsim_log_size(), 0u);
}

TEST_F(EngineTest, ValueCommandsCarryTheCallersValue)
{
    struct Case {
        int (*call)(int32_t);
        unsigned long code;
        int result;
    };
    const Case cases[] = {
        {agApi_fwURLFilterEnable, 0x80046434, 0},
        {agApi_fwURLFilterEnableTmSch, 0x80046435, 0},
        {agApi_fwURLFilterEnable_Session2, 0x80046472, 0},
        {agApi_fwURLFilterEnableTmSch_Session2, 0x8004648E, 0},
        {agApi_enableQoS, 0x8004644C, 1},
        {agApi_SetDayLightSaving, 0x80046461, 1},
        {agApi_fwSuccessPageHijack, 0x800464B0, 0},
        {agApi_feature_set, 0x800464B2, 1},
        {agApi_cleanup_ctf_entry, 0x800464B4, 1},
    };
    for (const Case &k : cases) {
        natsim_log_clear();
        EXPECT_EQ(k.call(-3), k.result) << std::hex << k.code;
        EXPECT_EQ(only_call().code, k.code);
        EXPECT_EQ(static_cast<uint32_t>(only_call().arg), static_cast<uint32_t>(-3));
    }
    natsim_log_clear();
    EXPECT_EQ(agApi_fwURLFilterSetTrustedIp(0x0a01a8c0), 0);
    EXPECT_EQ(only_call().arg, 0x0a01a8c0u);
}

TEST_F(EngineTest, FeatureValueComesBack)
{
    int32_t v = 0;
    EXPECT_EQ(agApi_feature_set(42), 1);
    EXPECT_EQ(agApi_feature_get(&v), 1);
    EXPECT_EQ(v, 42);
}

TEST_F(EngineTest, QosRuleAndPlatformTexts)
{
    EXPECT_EQ(agApi_AddQoSRule(1, 2, 3, 4), 1);
    const natsim_call &q = only_call();
    EXPECT_EQ(q.count, 4);
    EXPECT_EQ(lengths(q, 5), (std::vector<uint32_t>{4, 4, 4, 4, 0}));
    EXPECT_EQ(field(q, 0) + field(q, 1) + field(q, 2) + field(q, 3),
              bytes(1) + bytes(2) + bytes(3) + bytes(4));

    natsim_log_clear();
    EXPECT_EQ(agApi_natSetRegion("EU"), 1);
    EXPECT_EQ(only_call().code, 0x8004649Fu);
    EXPECT_EQ(only_call().length[0], 2u);
    EXPECT_EQ(field(only_call(), 0), "EU");

    natsim_log_clear();
    EXPECT_EQ(agApi_natSetTarnivalName("home"), 1);
    EXPECT_EQ(only_call().code, 0x400464AAu);
    EXPECT_EQ(field(only_call(), 0), "home");

    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natSetRegion(""), -1); // the engine wants a region
    EXPECT_EQ(out.finish(), "[agApi_natSetRegion]:IOCTL_AG_REGION_SET failed:-1\n");
}

TEST_F(EngineTest, Ipv6ValuesAtTheirAddressesWithoutLengths)
{
    EXPECT_EQ(agApi_ipv6_set_listen_port(1, 2, 3, 4, 5), 0);
    const natsim_call &c = only_call();
    EXPECT_STREQ(c.device, "/dev/spiv6");
    EXPECT_EQ(c.code, 0x80046508u);
    EXPECT_EQ(c.count, 5);
    EXPECT_EQ(lengths(c, 6), (std::vector<uint32_t>(6, 0)));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(field(c, i), bytes(i + 1));

    natsim_log_clear();
    EXPECT_EQ(agApi_ipv6_set_firewall(1), 0);
    EXPECT_EQ(only_call().count, 1);
    EXPECT_EQ(field(only_call(), 0), bytes(1));
}

} // namespace
